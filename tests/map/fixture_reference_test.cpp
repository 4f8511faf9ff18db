// fixture_reference_test.cpp: boxes dropped on a map whose quads are fixtures of shared static
// bodies come to rest where they do with a static body per quad, the way the map was once held.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/units.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "physics/static_shapes.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {

// The reference: the map held the old way, a static body per quad made when the quad is and
// replaced whenever the quad is reshaped, in the same order, so that both worlds' broad phases
// see the same sequence of shapes come and go.
struct BodyPerQuad {
    b2World world{b2Vec2(0.0f, 0.0f)};
    std::vector<b2Body*> bodies;  // parallel to mapQuads()

    void mirror(int32_t index) {
        const MapQuad& quad = getQuad(index);
        if (static_cast<size_t>(index) == bodies.size()) bodies.push_back(nullptr);
        if (bodies[static_cast<size_t>(index)] != nullptr) world.DestroyBody(bodies[static_cast<size_t>(index)]);
        b2BodyDef def;
        b2Body* body = world.CreateBody(&def);
        b2FixtureDef fixture;
        fixture.shape = quad.fixture->GetShape();
        body->CreateFixture(&fixture);
        bodies[static_cast<size_t>(index)] = body;
    }
};

// Flat-topped steps of three adjacent quads each (world units), some reshaped below after the
// fact so their fixtures are replaced; returns where a box may land without meeting a step's edge.
std::vector<float> buildTerrain(std::mt19937& rng, BodyPerQuad& reference) {
    std::uniform_real_distribution<float> height(240.0f, 320.0f);
    std::vector<float> landings;
    float top = 0.0f;
    for (int32_t i = 0; i < 36; ++i) {
        const float left = -720.0f + 40.0f * static_cast<float>(i);
        if (i % 3 == 0) {
            top = height(rng);
            landings.push_back(left + 60.0f);  // over the middle quad, across both seams
        }
        createQuad(left, top, left + 40.0f, top, left + 40.0f, 400.0f, left, 400.0f);
        reference.mirror(i);
    }
    for (int i = 0; i < 8; ++i) {
        const auto index = static_cast<int32_t>(rng() % 36);
        MapQuad& quad = getQuad(index);
        const Vec2f* v = quad.vertices;
        setGeometry(quad, v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y + 6.0f, v[3].x, v[3].y + 6.0f);
        reference.mirror(index);
    }
    return landings;
}

}  // namespace

TEST(FixtureReference, BoxesComeToRestWhereTheyDoWithABodyPerQuad) {
    captureStdout([] { loadAllTextures(loadNoImage); });
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        clearMapQuads(true);
        createWorld();
        std::mt19937 rng(seed);
        BodyPerQuad reference;
        reference.world.SetGravity(getWorld()->GetGravity());
        cloneBody(*getGroundBody(), reference.world);
        const std::vector<float> landings = buildTerrain(rng, reference);
        ASSERT_EQ(staticShapeBodies().size(), 1u) << "the whole terrain on one shared body";

        std::uniform_real_distribution<float> offset(-40.0f, 40.0f);
        std::vector<b2Body*> boxes, twins;
        for (const float x : landings) {  // one box per step, each alone on it
            boxes.push_back(createDynamicBox(x + offset(rng), 0.0f, 0.0f, 0.8f, 0.8f, 0.3f));
            twins.push_back(cloneBody(*boxes.back(), reference.world));
        }
        for (int i = 0; i < 1500; ++i) {
            getWorld()->Step(0.01f, 5, 6);
            reference.world.Step(0.01f, 5, 6);
        }
        for (size_t i = 0; i < boxes.size(); ++i) {
            const b2Vec2 a = boxes[i]->GetPosition();
            const b2Vec2 b = twins[i]->GetPosition();
            EXPECT_FALSE(boxes[i]->IsAwake()) << "box " << i << " still moving";
            EXPECT_NEAR(toUnits(a.x), toUnits(b.x), 0.01f) << "box " << i;
            EXPECT_NEAR(toUnits(a.y), toUnits(b.y), 0.01f) << "box " << i;
            EXPECT_NEAR(boxes[i]->GetAngle(), twins[i]->GetAngle(), 1e-3f) << "box " << i;
        }
    }
    clearMapQuads(true);
}
