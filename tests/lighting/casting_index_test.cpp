// casting_index_test.cpp: the indexed gather of casting quads lists what the plain scan lists,
// in list order, on random maps with degenerate, huge and NaN quads among them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "lighting/shadow_quad.h"
#include "map/map_quad.h"

namespace {

float uniform(std::mt19937& gen, float low, float high) {
    return std::uniform_real_distribution<float>(low, high)(gen);
}

void addRandomQuad(std::mt19937& gen) {
    const float cx = uniform(gen, -1500, 1500), cy = uniform(gen, -1500, 1500);
    const float s = uniform(gen, 1, 150);
    switch (gen() % 8) {
        case 0:  // wrongly wound: keeps four zero corners
            createQuad(cx, cy, cx, cy + s, cx + s, cy + s, cx + s, cy);
            break;
        case 1:
            createQuad(-3e7f, -3e7f, 3e7f, -3e7f, 3e7f, 3e7f, -3e7f, 3e7f);
            break;
        case 2: {  // corners written as they come, centre left behind
            MapQuad& quad = registerQuad();
            const Vec2f corners[4] = {{cx, cy}, {std::numeric_limits<float>::quiet_NaN(), cy},
                                      {cx + s, cy + s}, {cx, cy + s}};
            setCorners(quad, corners);
            break;
        }
        default:
            createQuad(cx, cy, cx + s, cy, cx + s, cy + s, cx, cy + s);
    }
}

}  // namespace

TEST(CastingIndex, CastingQuadsAreTheScansInListOrder) {
    std::mt19937 gen(7);
    std::vector<int32_t> got;
    for (int map = 0; map < 300; ++map) {
        clearMapQuads(true);
        const int quads = static_cast<int>(gen() % 80);
        for (int i = 0; i < quads; ++i) addRandomQuad(gen);
        for (int i = 0; i < 20; ++i) {
            Vec2f light{uniform(gen, -1500, 1500), uniform(gen, -1500, 1500)};
            if (i % 3 == 0 && quads > 0) {  // at the cast radius from some centre, give or take
                const Vec2f c = quadCenter(getQuad(static_cast<int32_t>(gen() % quads)));
                light = {c.x + 700.0f + uniform(gen, -0.01f, 0.01f), c.y};
            }
            std::vector<int32_t> expected;
            for (int32_t q = 0; q < getQuadCount(); ++q) {
                if (castsShadow(getQuad(q), light)) expected.push_back(q);
            }
            collectCastingQuads(light, got);
            ASSERT_EQ(got, expected) << "map " << map << " light (" << light.x << ", " << light.y << ")";
        }
    }
    clearMapQuads(true);
}
