// invariants.cpp: the whole-state checks, and how much of them a step can afford.
#include "game/invariants.h"

#include <box2d/box2d.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "actors/actor.h"
#include "actors/body_actor.h"
#include "core/refusal.h"
#include "lighting/shadow_quad.h"
#include "map/map_invariants.h"
#include "map/map_quad.h"
#include "map/quad_index.h"
#include "physics/physics_world.h"
#include "physics/static_shapes.h"
#include "render/shape_queue.h"

namespace {

constexpr size_t kShadowWindow = 16;  // quads whose shadows a sampled check builds
constexpr size_t kProbeQuads = 6;     // quads whose centre and corners light the others
constexpr double kMaxShadowReach = 2502.0;  // world units a shadow may reach past its quad

// What the sampled checks remember between calls.
struct InvariantChecks {
    bool known = false;           // a whole check of the map has run since the last reset
    uint32_t quadChanges = 0;     // quadChangeCount() at that check
    const b2World* world = nullptr;
    int32_t quadBodies = 0;       // the quads' shared static bodies at that check
    int32_t callsSinceWhole = 0;
    size_t shadowCursor = 0;      // first quad of the next shadow window
    // Scratch, reused, so that a check in every step allocates nothing once grown.
    std::vector<const b2Body*> owned;
    std::vector<Vec2f> lights;
    LightVertices buffer;
};
InvariantChecks checks;

std::string named(const Actor& actor, const char* what) {
    return std::string(actor.kind().name) + " " + std::to_string(actor.id) + what;
}

// Whether a sorted list holds some body twice.
bool anyTwice(const std::vector<const b2Body*>& sorted) {
    return std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
}

// Every actor body exists and lives in the current world; appends them to bodies and counts them.
std::string actorBodyProblem(const b2World* world, std::vector<const b2Body*>& bodies, int32_t& count) {
    count = 0;
    for (const auto& actor : allActors()) {
        const auto* physical = dynamic_cast<const BodyActor*>(actor.get());
        if (physical == nullptr) continue;
        if (physical->body == nullptr) return named(*actor, " has no body");
        if (physical->body->GetWorld() != world) return named(*actor, " has its body in another world");
        bodies.push_back(physical->body);
        ++count;
    }
    return "";
}

// The quads' own invariants, then every body of the world owned once, by the ground, the quads'
// shared static bodies or an actor, and every owned body in the world.
std::string wholeBodyProblem(const b2World* world) {
    std::string problem;
    if (!mapInvariantsHold(problem)) return problem;
    std::vector<const b2Body*>& owned = checks.owned;
    owned.clear();
    if (world != nullptr) owned.push_back(getGroundBody());
    int32_t quadBodies = 0;
    for (const b2Body* body : staticShapeBodies()) {
        owned.push_back(body);
        ++quadBodies;
    }
    int32_t actorBodies = 0;
    problem = actorBodyProblem(world, owned, actorBodies);
    if (!problem.empty()) return problem;
    std::sort(owned.begin(), owned.end());
    if (anyTwice(owned)) return "two owners share a body";
    if (world == nullptr) return owned.empty() ? "" : "bodies without a world";
    int32_t inWorld = 0;
    for (const b2Body* body = world->GetBodyList(); body != nullptr; body = body->GetNext()) {
        if (!std::binary_search(owned.begin(), owned.end(), body)) return "a body in the world that nobody owns";
        ++inWorld;
    }
    if (inWorld != static_cast<int32_t>(owned.size())) return "an owned body is not in the world";
    checks.known = true;
    checks.quadChanges = quadChangeCount();
    checks.world = world;
    checks.quadBodies = quadBodies;
    checks.callsSinceWhole = 0;
    return "";
}

std::string sampledBodyProblem(const b2World* world, bool forceWhole) {
    ++checks.callsSinceWhole;
    const bool mapChanged = !checks.known || checks.quadChanges != quadChangeCount() || checks.world != world;
    if (forceWhole || (mapChanged && checks.callsSinceWhole >= kWholeCheckSteps))
        return wholeBodyProblem(world);
    checks.owned.clear();
    int32_t actorBodies = 0;
    const std::string problem = actorBodyProblem(world, checks.owned, actorBodies);
    if (!problem.empty()) return problem;
    std::sort(checks.owned.begin(), checks.owned.end());
    if (anyTwice(checks.owned)) return "two actors share a body";
    if (mapChanged || world == nullptr) return "";
    // Nothing of the map changed since the whole check: the ground, the quads' shared bodies and the
    // actors' make up the world, or something made or lost a body behind their backs.
    if (world->GetBodyCount() != 1 + checks.quadBodies + actorBodies) {
        const std::string whole = wholeBodyProblem(world);
        return whole.empty() ? "the world's body count changed behind the quads' backs" : whole;
    }
    return "";
}

bool isModest(Vec2f p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) < 1e7f && std::fabs(p.y) < 1e7f;
}

// A shadow starts and ends on two of the quad's corners and reaches no farther than the shadow
// length beyond them (corners far out of range are the conversion's own business).
const char* shadowProblem(const MapQuad& quad, const ShadowQuad& shadow) {
    for (const Vec2f& v : quad.vertices) {
        if (!isModest(v)) return nullptr;
    }
    const auto isCorner = [&](const int32_t* p) {
        return std::any_of(std::begin(quad.vertices), std::end(quad.vertices), [p](Vec2f v) {
            return static_cast<int32_t>(v.x) == p[0] && static_cast<int32_t>(v.y) == p[1];
        });
    };
    const int32_t* p = shadow.points;
    if (!isCorner(p) || !isCorner(p + 6)) return "a shadow not anchored on its quad";
    const auto within = [](const int32_t* a, const int32_t* b) {
        const double dx = static_cast<double>(a[0]) - b[0], dy = static_cast<double>(a[1]) - b[1];
        return std::sqrt(dx * dx + dy * dy) <= kMaxShadowReach;
    };
    if (!within(p, p + 2) || !within(p + 6, p + 4)) return "a shadow reaching beyond its length";
    return nullptr;
}

// Lights at the origin, absurdly far away, and at some quads' centres, just off their corners and
// just out of casting range: every silhouette case for the quads [first, last). The shared
// per-light buffer is built for every light, or (buffers false) for the last one only: on a
// dense map each build gathers every quad within casting range.
std::string shadowsProblem(size_t first, size_t last, size_t probes, bool buffers) {
    const auto& quads = mapQuads();
    std::vector<Vec2f>& lights = checks.lights;
    lights.assign({{0, 0}, {1e30f, -1e30f}, {-1e30f, 1e30f}});
    for (size_t i = first; i < last && i < first + probes; ++i) {
        const MapQuad& quad = quads[i];
        const Vec2f center = quadCenter(quad);
        lights.push_back(center);
        lights.push_back({quad.vertices[0].x - 5, quad.vertices[0].y - 5});
        lights.push_back({quad.vertices[2].x + 5, quad.vertices[2].y + 5});
        lights.push_back({center.x + 650, center.y});
    }
    const int32_t lightQuad[8] = {-300, -300, 300, -300, 300, 300, -300, 300};
    for (const Vec2f& light : lights) {
        for (size_t i = first; i < last; ++i) {
            const char* problem = shadowProblem(quads[i], buildShadowQuad(quads[i], light));
            if (problem != nullptr) return problem + std::string(" (quad ") + std::to_string(i) + ")";
        }
        if (!buffers && &light != &lights.back()) continue;
        buildLightVertices(checks.buffer, lightQuad, light);
        // Each edge of an outline the actors queued for the lightmap casts as one more caster.
        const auto outlineEdges = static_cast<int32_t>(queuedCasterCorners().size());
        if (checks.buffer.casterCount < 0 || checks.buffer.casterCount > getQuadCount() + outlineEdges)
            return "a caster count out of range";
        if (4 * (checks.buffer.casterCount + 1) > checks.buffer.half)
            return "a light buffer too small for its casters";
    }
    return "";
}

// The first broken invariant, "" when all hold, as the checks above report theirs.
std::string firstBrokenInvariant(InvariantScope scope, bool forceWhole) {
    const b2World* world = getWorld();
    const size_t quads = mapQuads().size();
    if (scope == InvariantScope::Whole) {
        const std::string problem = wholeBodyProblem(world);
        return problem.empty() ? shadowsProblem(0, quads, kProbeQuads, true) : problem;
    }
    const std::string problem = sampledBodyProblem(world, forceWhole);
    if (!problem.empty()) return problem;
    if (checks.shadowCursor >= quads) checks.shadowCursor = 0;
    const size_t first = checks.shadowCursor;
    const size_t last = std::min(quads, first + kShadowWindow);
    checks.shadowCursor = last;
    return shadowsProblem(first, last, 1, false);
}

}  // namespace

bool gameInvariantsHold(InvariantScope scope, std::string& why, bool forceWhole) {
    std::string broken = firstBrokenInvariant(scope, forceWhole);
    return broken.empty() || refuse(why, std::move(broken));
}

void checkGameInvariants(const char* where, bool forceWhole) {
    if (!kCheckInvariants) return;
    std::string why;
    if (!gameInvariantsHold(InvariantScope::Sampled, why, forceWhole)) failOnBrokenInvariant(why, where);
}

void resetInvariantChecks() { checks = InvariantChecks(); }
