// map_invariants.cpp: the quads' fixtures and the quad index, checked as they stand.
#include "map/map_invariants.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <utility>
#include <vector>

#include <box2d/box2d.h>

#include "core/refusal.h"
#include "map/map_quad.h"
#include "map/quad_index.h"
#include "physics/physics_world.h"
#include "physics/static_shapes.h"

namespace {

// Every quad fixture sits on sound corners (unless a whole-quad drag is under way: its fixture
// catches up at the next motion), belongs to no other quad and to one of the current world's
// shared static bodies, which hold nothing but the quads' fixtures; then the quad index.
std::string firstBrokenInvariant() {
    const b2World* world = getWorld();
    static std::vector<const b2Fixture*> fixtures;  // scratch, reused
    fixtures.clear();
    const std::vector<b2Body*>& shared = staticShapeBodies();
    const auto named = [](size_t i, const char* what) { return "quad " + std::to_string(i) + what; };
    for (size_t i = 0; i < mapQuads().size(); ++i) {
        const MapQuad& quad = mapQuads()[i];
        if (quad.fixture == nullptr) continue;
        if (quad.editMode != 4 && !isValidBodyPolygon(quad.vertices))
            return named(i, " has a fixture on unsound corners");
        if (quadFixture(quad) == nullptr) return named(i, " has a fixture from a retired world");
        const b2Body* body = quad.fixture->GetBody();
        if (body->GetWorld() != world) return named(i, " has its fixture in another world");
        if (std::find(shared.begin(), shared.end(), body) == shared.end())
            return named(i, " has its fixture on a body that is not a shared static body");
        fixtures.push_back(quad.fixture);
    }
    std::sort(fixtures.begin(), fixtures.end());
    if (std::adjacent_find(fixtures.begin(), fixtures.end()) != fixtures.end()) return "two quads share a fixture";
    size_t onShared = 0;
    for (const b2Body* body : shared) {
        if (body->GetType() != b2_staticBody) return "a shared body that is not static";
        for (const b2Fixture* f = body->GetFixtureList(); f != nullptr; f = f->GetNext()) {
            if (!std::binary_search(fixtures.begin(), fixtures.end(), f)) return "a shared static fixture no quad owns";
            ++onShared;
        }
    }
    if (onShared != fixtures.size()) return "a quad fixture is not on its body";
    return quadIndexProblem();
}

}  // namespace

bool mapInvariantsHold(std::string& why) {
    std::string broken = firstBrokenInvariant();
    return broken.empty() || refuse(why, std::move(broken));
}

void failOnBrokenInvariant(const std::string& why, const char* where) {
    std::cerr << "invariant broken " << where << ": " << why << std::endl;
    std::abort();
}

void checkMapInvariants(const char* where) {
    if (!kCheckInvariants) return;
    std::string why;
    if (!mapInvariantsHold(why)) failOnBrokenInvariant(why, where);
}
