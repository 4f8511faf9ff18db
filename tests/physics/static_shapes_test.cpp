// static_shapes_test.cpp: map polygons spread over a few capped shared static bodies, through
// removals, refills and a change of world.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "physics/physics_world.h"
#include "physics/static_shapes.h"

namespace {

StaticPolygon squareAt(int i) {
    const float x = static_cast<float>(i % 300) * 2.0f;
    const float y = static_cast<float>(i / 300) * 2.0f;
    const b2Vec2 points[4] = {{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}};
    return createStaticPolygon(points);
}

int32_t fixturesOn(const b2Body* body) {
    int32_t count = 0;
    for (const b2Fixture* f = body->GetFixtureList(); f != nullptr; f = f->GetNext()) ++count;
    return count;
}

// Every live fixture sits on a listed static body, no body is over the cap, and the bodies hold
// nothing else.
void expectHeld(const std::vector<StaticPolygon>& live) {
    int32_t total = 0;
    for (const b2Body* body : staticShapeBodies()) {
        EXPECT_EQ(body->GetType(), b2_staticBody);
        EXPECT_EQ(body->GetWorld(), getWorld());
        EXPECT_LE(fixturesOn(body), kFixturesPerStaticBody);
        total += fixturesOn(body);
    }
    EXPECT_EQ(total, static_cast<int32_t>(live.size()));
    const auto& bodies = staticShapeBodies();
    for (const StaticPolygon& p : live) {
        EXPECT_EQ(p.world, worldSerial());
        EXPECT_NE(std::find(bodies.begin(), bodies.end(), p.fixture->GetBody()), bodies.end());
    }
    EXPECT_EQ(getWorld()->GetBodyCount(), static_cast<int32_t>(bodies.size()) + 1);  // the ground
}

}  // namespace

TEST(StaticShapes, FillCappedBodiesReuseFreedRoomAndStartAfreshInANewWorld) {
    createWorld();
    const int32_t cap = kFixturesPerStaticBody;
    std::vector<StaticPolygon> live;
    for (int i = 0; i < 2 * cap + 5; ++i) live.push_back(squareAt(i));
    ASSERT_EQ(staticShapeBodies().size(), 3u);
    expectHeld(live);

    // Random removals, then as many new polygons: they go where room was freed, no new body.
    // A step first, as the game's would: until then Box2D scans all new shapes for each removal.
    getWorld()->Step(0.01f, 5, 6);
    std::mt19937 rng(7);
    std::shuffle(live.begin(), live.end(), rng);
    constexpr int kRemoved = 3000;
    for (int i = 0; i < kRemoved; ++i) {
        destroyStaticPolygon(live.back());
        live.pop_back();
    }
    expectHeld(live);
    for (int i = 0; i < kRemoved; ++i) live.push_back(squareAt(i));
    EXPECT_EQ(staticShapeBodies().size(), 3u);
    expectHeld(live);
    getWorld()->Step(0.01f, 5, 6);

    // A new world: the old fixtures stay with the old one, untouched by a late removal.
    const uint32_t oldSerial = worldSerial();
    WorldPtr old = createWorld();
    EXPECT_NE(worldSerial(), oldSerial);
    EXPECT_TRUE(staticShapeBodies().empty());
    destroyStaticPolygon(live.front());
    EXPECT_EQ(old->GetBodyCount(), 4);
    std::vector<StaticPolygon> fresh = {squareAt(0)};
    ASSERT_EQ(staticShapeBodies().size(), 1u);
    EXPECT_NE(staticShapeBodies()[0]->GetWorld(), old.get());
    expectHeld(fresh);
    destroyWorld();
    EXPECT_EQ(squareAt(1).fixture, nullptr);  // no world, no fixture
}
