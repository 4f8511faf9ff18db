// map_invariants.cpp: the quads' bodies and the quad index, checked as they stand.
#include "map/map_invariants.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <vector>

#include <box2d/box2d.h>

#include "map/map_quad.h"
#include "map/quad_index.h"
#include "physics/physics_world.h"

std::string mapInvariantProblem() {
    const b2World* world = getWorld();
    static std::vector<const b2Body*> bodies;  // scratch, reused
    bodies.clear();
    const auto named = [](size_t i, const char* what) { return "quad " + std::to_string(i) + what; };
    for (size_t i = 0; i < mapQuads().size(); ++i) {
        const MapQuad& quad = *mapQuads()[i];
        if (quad.body == nullptr) continue;
        // A whole-quad drag moves the corners first; the body catches up at the next motion.
        if (quad.editMode != 4 && !isValidBodyPolygon(quad.vertices))
            return named(i, " has a body on unsound corners");
        if (quad.body->GetWorld() != world) return named(i, " has its body in another world");
        bodies.push_back(quad.body);
    }
    std::sort(bodies.begin(), bodies.end());
    if (std::adjacent_find(bodies.begin(), bodies.end()) != bodies.end()) return "two quads share a body";
    return quadIndexProblem();
}

void failOnBrokenInvariant(const std::string& problem, const char* where) {
    if (problem.empty()) return;
    std::cerr << "invariant broken " << where << ": " << problem << std::endl;
    std::abort();
}

void checkMapInvariants(const char* where) {
    if (kCheckInvariants) failOnBrokenInvariant(mapInvariantProblem(), where);
}
