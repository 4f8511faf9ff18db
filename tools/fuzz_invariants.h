// fuzz_invariants.h: what must hold after every fuzz input: sound quad fixtures, all in the
// current world, and finite, in-range shadow geometry. A broken invariant aborts (a finding).
#pragma once
#include <box2d/box2d.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <set>
#include <vector>

#include "actors/actor.h"
#include "actors/body_actor.h"
#include "lighting/shadow_quad.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "physics/static_shapes.h"

namespace fuzz {

// Makes a fresh working folder named after prefix, in memory where there is one (the disk would
// make every input wait for it), removed when the process exits; returns its path. With enter,
// the process moves into it.
inline std::string makeWorkFolder(const std::string& prefix, bool enter) {
    std::string inMemory = "/dev/shm/" + prefix + "-XXXXXX";
    std::string onDisk = "/tmp/" + prefix + "-XXXXXX";
    const char* folder = mkdtemp(inMemory.data());
    if (folder == nullptr) folder = mkdtemp(onDisk.data());
    if (folder == nullptr || (enter && chdir(folder) != 0)) std::abort();
    static std::string made;
    made = folder;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(made, ignored);
    });
    return made;
}

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Every quad fixture has sound corners (unless a whole-quad drag is under way: its fixture
// catches up at the next motion), belongs to no other quad and sits on one of the current world's
// shared static bodies; the world holds nothing but the ground, those bodies and the actors'
// bodies, and the shared bodies hold nothing but the quads' fixtures.
inline void checkBodies() {
    b2World* world = getWorld();
    if (world == nullptr) fail("no current world");
    std::set<const b2Body*> owned = {getGroundBody()};
    const std::vector<b2Body*>& shared = staticShapeBodies();
    owned.insert(shared.begin(), shared.end());
    if (owned.size() != shared.size() + 1) fail("a shared static body listed twice");
    std::set<const b2Fixture*> quadFixtures;
    for (const auto& quad : mapQuads()) {
        if (quad->fixture == nullptr) continue;
        if (quad->editMode != 4 && !isValidBodyPolygon(quad->vertices)) fail("quad fixture on unsound corners");
        if (quad->fixtureWorld != worldSerial()) fail("quad fixture from a retired world");
        const b2Body* body = quad->fixture->GetBody();
        if (body->GetWorld() != world) fail("quad fixture in another world");
        if (body->GetType() != b2_staticBody || body == getGroundBody() || owned.count(body) == 0) {
            fail("quad fixture on a body that is not a shared static body");
        }
        if (!quadFixtures.insert(quad->fixture).second) fail("two quads share a fixture");
    }
    size_t sharedFixtures = 0;
    for (const b2Body* body : shared) {
        for (const b2Fixture* f = body->GetFixtureList(); f != nullptr; f = f->GetNext()) {
            if (quadFixtures.count(f) == 0) fail("a shared static fixture no quad owns");
            ++sharedFixtures;
        }
    }
    if (sharedFixtures != quadFixtures.size()) fail("a quad fixture is not on its body");
    for (const auto& actor : allActors()) {
        const auto* physical = dynamic_cast<const BodyActor*>(actor.get());
        if (physical == nullptr) continue;
        if (physical->body == nullptr) fail("actor without its body");
        if (physical->body->GetWorld() != world) fail("actor body in another world");
        if (!owned.insert(physical->body).second) fail("two owners share a body");
    }
    int32_t inWorld = 0;
    for (const b2Body* body = world->GetBodyList(); body != nullptr; body = body->GetNext()) {
        if (owned.count(body) == 0) fail("a body nobody owns");
        ++inWorld;
    }
    if (inWorld != static_cast<int32_t>(owned.size())) fail("an owned body is not in the world");
}

inline bool isModest(Vec2f p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) < 1e7f && std::fabs(p.y) < 1e7f; }

// A shadow starts and ends on two of the quad's corners and reaches no farther than the shadow
// length beyond them; conversions of hostile corners trap under UBSan before getting here.
inline void checkShadow(const MapQuad& quad, const ShadowQuad& shadow) {
    for (int k = 0; k < 4; ++k) {
        if (!isModest(quad.vertices[k])) return;
    }
    const auto isCorner = [&](int32_t x, int32_t y) {
        for (int k = 0; k < 4; ++k) {
            if (static_cast<int32_t>(quad.vertices[k].x) == x && static_cast<int32_t>(quad.vertices[k].y) == y) return true;
        }
        return false;
    };
    const int32_t* p = shadow.points;
    if (!isCorner(p[0], p[1]) || !isCorner(p[6], p[7])) fail("shadow not anchored on the quad");
    const auto within = [](const int32_t* a, const int32_t* b) {
        const double dx = static_cast<double>(a[0]) - b[0], dy = static_cast<double>(a[1]) - b[1];
        return std::sqrt(dx * dx + dy * dy) <= 2502.0;
    };
    if (!within(p, p + 2) || !within(p + 6, p + 4)) fail("shadow reaches beyond its length");
}

// Lights at a few quads' centres and just off their corners, at the origin, absurdly far away
// and just out of casting range: every silhouette case for every quad, and the shared per-light
// buffer. A bounded number of lights keeps a check linear in the quads.
inline void checkAll() {
    checkBodies();
    static LightVertices buffer;
    std::vector<Vec2f> lights = {{0, 0}, {1e30f, -1e30f}, {-1e30f, 1e30f}};
    for (size_t i = 0; i < mapQuads().size() && i < 6; ++i) {
        const MapQuad& quad = *mapQuads()[i];
        lights.push_back(quad.center);
        lights.push_back({quad.vertices[0].x - 5, quad.vertices[0].y - 5});
        lights.push_back({quad.vertices[2].x + 5, quad.vertices[2].y + 5});
        lights.push_back({quad.center.x + 650, quad.center.y});
    }
    const int32_t lightQuad[8] = {-300, -300, 300, -300, 300, 300, -300, 300};
    for (const Vec2f& light : lights) {
        for (const auto& quad : mapQuads()) checkShadow(*quad, buildShadowQuad(*quad, light));
        buildLightVertices(buffer, lightQuad, light);
        if (buffer.casterCount < 0 || buffer.casterCount > getQuadCount()) fail("caster count out of range");
        if (4 * (buffer.casterCount + 1) > buffer.half) fail("light buffer too small for its casters");
    }
}

}  // namespace fuzz
