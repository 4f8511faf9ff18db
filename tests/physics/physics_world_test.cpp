// The physics world: its ground, its gravity and the hand-over to a replacement world.
#include <algorithm>

#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include "physics/physics_world.h"

namespace {

// Corners of a polygon fixture in world metres.
void polygonBounds(const b2Fixture& fixture, b2Vec2& low, b2Vec2& high) {
    const auto& polygon = static_cast<const b2PolygonShape&>(*fixture.GetShape());
    const b2Transform& transform = fixture.GetBody()->GetTransform();
    low.Set(1e9f, 1e9f);
    high.Set(-1e9f, -1e9f);
    for (int i = 0; i < polygon.m_count; ++i) {
        const b2Vec2 p = b2Mul(transform, polygon.m_vertices[i]);
        low.Set(std::min(low.x, p.x), std::min(low.y, p.y));
        high.Set(std::max(high.x, p.x), std::max(high.y, p.y));
    }
}

TEST(PhysicsWorld, NewWorldHoldsOnlyTheStaticGround) {
    createWorld();
    b2World* world = getWorld();
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->GetBodyCount(), 1);
    EXPECT_EQ(world->GetGravity().x, 0.0f);
    EXPECT_EQ(world->GetGravity().y, 55.0f);

    b2Body* ground = getGroundBody();
    ASSERT_EQ(ground, world->GetBodyList());
    EXPECT_EQ(ground->GetType(), b2_staticBody);
    EXPECT_EQ(ground->GetPosition(), b2Vec2(32.0f, 39.0f));
    ASSERT_NE(ground->GetFixtureList(), nullptr);
    EXPECT_EQ(ground->GetFixtureList()->GetNext(), nullptr);
    EXPECT_EQ(ground->GetFixtureList()->GetType(), b2Shape::e_polygon);
    EXPECT_FLOAT_EQ(ground->GetFixtureList()->GetFriction(), 0.2f);

    // 128 m by 4 m about (32, 39): -640 .. 1920 by 740 .. 820 world units.
    b2Vec2 low, high;
    polygonBounds(*ground->GetFixtureList(), low, high);
    EXPECT_FLOAT_EQ(low.x, -32.0f);
    EXPECT_FLOAT_EQ(high.x, 96.0f);
    EXPECT_FLOAT_EQ(low.y, 37.0f);
    EXPECT_FLOAT_EQ(high.y, 41.0f);
}

TEST(PhysicsWorld, CreateWorldHandsBackThePreviousWorld) {
    createWorld();
    b2World* first = getWorld();
    b2Body* firstGround = getGroundBody();
    WorldPtr previous = createWorld();
    EXPECT_EQ(previous.get(), first);
    EXPECT_NE(getWorld(), first);
    EXPECT_NE(getGroundBody(), firstGround);
    EXPECT_EQ(getGroundBody()->GetWorld(), getWorld());
    // The previous world is intact until its owner lets it go.
    EXPECT_EQ(previous->GetBodyCount(), 1);
    previous.reset();
}

TEST(PhysicsWorld, ReleasedBodyFallsAndRestsOnTheGroundTop) {
    createWorld();
    b2BodyDef def;
    def.type = b2_dynamicBody;
    def.position.Set(10.0f, 30.0f);
    b2Body* body = getWorld()->CreateBody(&def);
    b2PolygonShape shape;
    shape.SetAsBox(0.5f, 0.5f);
    body->CreateFixture(&shape, 1.0f);

    getWorld()->Step(0.01f, 5, 6);
    EXPECT_GT(body->GetLinearVelocity().y, 0.0f);  // +y is down
    for (int step = 0; step < 1000 && body->IsAwake(); ++step) {
        getWorld()->Step(0.01f, 5, 6);
    }
    EXPECT_FALSE(body->IsAwake());
    const float bottom = body->GetPosition().y + 0.5f;
    EXPECT_NEAR(toUnits(bottom), 740.0f, 0.5f);
    EXPECT_NEAR(body->GetPosition().x, 10.0f, 1e-3f);
}

TEST(PhysicsWorld, CloneCopiesPoseVelocitiesAndFixtures) {
    createWorld();
    b2BodyDef def;
    def.type = b2_dynamicBody;
    def.position.Set(3.0f, -4.0f);
    def.angle = 0.7f;
    def.linearVelocity.Set(1.5f, -2.5f);
    def.angularVelocity = -3.0f;
    def.bullet = true;
    b2Body* body = getWorld()->CreateBody(&def);
    b2PolygonShape square;
    square.SetAsBox(0.8f, 0.8f);
    b2FixtureDef first;
    first.shape = &square;
    first.density = 2.0f;
    first.friction = 0.9f;
    first.restitution = 0.25f;
    first.filter.categoryBits = 0x0004;
    first.filter.maskBits = 0x00F0;
    first.filter.groupIndex = -3;
    body->CreateFixture(&first);
    b2CircleShape circle;
    circle.m_radius = 0.3f;
    circle.m_p.Set(1.0f, 0.0f);
    body->CreateFixture(&circle, 0.5f);

    b2World target(b2Vec2(0.0f, 55.0f));
    b2Body* copy = cloneBody(*body, target);
    EXPECT_EQ(copy->GetWorld(), &target);
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);  // the original is left alone
    EXPECT_EQ(copy->GetType(), b2_dynamicBody);
    EXPECT_EQ(copy->GetPosition(), body->GetPosition());
    EXPECT_EQ(copy->GetAngle(), body->GetAngle());
    EXPECT_EQ(copy->GetLinearVelocity(), body->GetLinearVelocity());
    EXPECT_EQ(copy->GetAngularVelocity(), body->GetAngularVelocity());
    EXPECT_TRUE(copy->IsBullet());
    EXPECT_FLOAT_EQ(copy->GetMass(), body->GetMass());
    EXPECT_FLOAT_EQ(copy->GetInertia(), body->GetInertia());

    const b2Fixture* a = body->GetFixtureList();
    const b2Fixture* b = copy->GetFixtureList();
    int fixtures = 0;
    for (; a && b; a = a->GetNext(), b = b->GetNext(), ++fixtures) {
        ASSERT_EQ(a->GetType(), b->GetType());
        EXPECT_EQ(a->GetDensity(), b->GetDensity());
        EXPECT_EQ(a->GetFriction(), b->GetFriction());
        EXPECT_EQ(a->GetRestitution(), b->GetRestitution());
        EXPECT_EQ(a->GetFilterData().categoryBits, b->GetFilterData().categoryBits);
        EXPECT_EQ(a->GetFilterData().maskBits, b->GetFilterData().maskBits);
        EXPECT_EQ(a->GetFilterData().groupIndex, b->GetFilterData().groupIndex);
        EXPECT_EQ(a->GetShape()->m_radius, b->GetShape()->m_radius);
    }
    EXPECT_EQ(fixtures, 2);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, nullptr);
}

TEST(PhysicsWorld, TransferDestroysTheOriginalInItsOwnWorld) {
    createWorld();
    b2BodyDef def;
    def.type = b2_dynamicBody;
    def.position.Set(5.0f, 5.0f);
    b2Body* body = getWorld()->CreateBody(&def);
    b2PolygonShape square;
    square.SetAsBox(0.8f, 0.8f);
    body->CreateFixture(&square, 1.0f);

    WorldPtr old = createWorld();
    b2Body* moved = transferBody(body, *getWorld());
    EXPECT_EQ(old->GetBodyCount(), 1);         // its ground only
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);  // new ground and the moved body
    EXPECT_EQ(moved->GetWorld(), getWorld());
    EXPECT_EQ(transferBody(moved, *getWorld()), moved);  // already there: nothing to do
    EXPECT_EQ(transferBody(nullptr, *getWorld()), nullptr);
    old.reset();
    getWorld()->Step(0.01f, 5, 6);
    EXPECT_GT(moved->GetLinearVelocity().y, 0.0f);
}

}  // namespace
