// make_map.cpp: writes the starter level as map.txt into the given folder (default: here).
// Usage: make_map [folder]
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "map/map_file.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"

namespace {

// Corners in world units, screen top-left, top-right, bottom-right, bottom-left: numerically
// counter-clockwise. The default view at camera (0, 0) spans x -512..512 and y -300..300; the
// car drops in at (10, 20); the ground's top is at y 740.
struct Corners {
    float c[8];
};

const Corners kLevel[] = {
    // The long floor under the spawn, with a slope down on the left and a kicker on the right.
    {{-400, 200, 500, 200, 500, 260, -400, 260}},
    {{-620, 330, -400, 200, -400, 260, -620, 380}},
    {{500, 200, 690, 110, 690, 150, 500, 260}},
    // Bumps on the floor for the car, posts that throw long shadows.
    {{-210, 176, -150, 176, -130, 200, -230, 200}},
    {{300, 130, 320, 130, 320, 200, 300, 200}},
    {{-330, 120, -310, 120, -310, 200, -330, 200}},
    // Floating blocks and ledges above the floor for the boxes to pile on.
    {{-250, 40, -170, 40, -170, 80, -250, 80}},
    {{120, -60, 260, -40, 260, -20, 120, -40}},
    {{330, 40, 410, 40, 410, 72, 330, 72}},
    {{-440, -120, -300, -120, -300, -100, -440, -100}},
    {{-120, -170, 0, -200, 0, -180, -120, -150}},
    // A pillar hanging from a high beam.
    {{140, -260, 330, -260, 330, -240, 140, -240}},
    {{226, -240, 244, -240, 244, -130, 226, -130}},
    // Catch shelves lower down, where the slopes throw things.
    {{-720, 560, -420, 560, -420, 590, -720, 590}},
    {{760, 420, 960, 380, 960, 410, 760, 450}},
    // A small ramp on the ground past the kicker.
    {{880, 730, 1040, 690, 1040, 740, 880, 740}},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && chdir(argv[1]) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    createWorld();  // so every quad is checked against the physics as the game will build it
    for (const Corners& corners : kLevel) {
        const float* c = corners.c;
        MapQuad& quad = registerQuad();
        setGeometry(quad, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
        bool kept = quad.fixture != nullptr;
        for (int k = 0; k < 4; ++k) {
            kept = kept && quad.vertices[k].x == c[2 * k] && quad.vertices[k].y == c[2 * k + 1];
        }
        if (!kept) {
            std::cerr << "make_map: quad " << getQuadCount() << " is not a valid convex quad"
                      << std::endl;
            return 1;
        }
    }
    std::string why;
    saveMap(why);  // a failure is on standard error already
    std::cout << "make_map: wrote " << getQuadCount() << " quads to map.txt" << std::endl;
    clearMapQuads(true);
    destroyWorld();
    return 0;
}
