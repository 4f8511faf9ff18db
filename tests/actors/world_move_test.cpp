// Handing the actors' bodies to a replacement world, as a map reload does.
#include <string>

#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include "core/keyboard.h"
#include "game/map_loading.h"
#include "actors/box.h"
#include "actors/car.h"
#include "actors/rocket.h"
#include "game/input.h"
#include "physics/physics_world.h"
#include "support/gl_window.h"

namespace {

class WorldMove : public ::testing::Test {
protected:
    void SetUp() override {
        clearActors();
        createWorld();
        releaseAllKeys();
    }
    void TearDown() override { clearActors(); }
    // What loadMap does with the world before it reads the quads.
    static void replaceWorld() {
        WorldPtr old = createWorld();
        moveActorBodiesTo(*getWorld());
        old.reset();
    }
    static void runSteps(int count) {
        captureStdout([count] {
            for (int i = 0; i < count; ++i) {
                updateActors();
                getWorld()->Step(0.01f, 5, 6);
                postStepActors();
            }
        });
    }
};

struct Pose {
    b2Vec2 position;
    float angle;
    b2Vec2 velocity;
    float spin;
    bool awake;
};

Pose poseOf(const b2Body& body) {
    return {body.GetPosition(), body.GetAngle(), body.GetLinearVelocity(),
            body.GetAngularVelocity(), body.IsAwake()};
}

void expectSamePose(const Pose& before, const b2Body& body) {
    EXPECT_EQ(body.GetPosition(), before.position);
    EXPECT_EQ(body.GetAngle(), before.angle);
    EXPECT_EQ(body.GetLinearVelocity(), before.velocity);
    EXPECT_EQ(body.GetAngularVelocity(), before.spin);
    EXPECT_EQ(body.IsAwake(), before.awake);
}

TEST_F(WorldMove, BodiesKeepPoseVelocitiesAndFixturesInTheNewWorld) {
    Box* box = nullptr;
    Car* car = nullptr;
    captureStdout([&] {
        box = spawnActor<Box>(200.0f, 100.0f);
        car = spawnActor<Car>(500.0f, 300.0f);
    });
    spawnActor<Rocket>(0.0f, 0.0f, 1.0f, 1.0f);
    box->body->SetTransform(b2Vec2(11.0f, 4.0f), 0.3f);
    box->body->SetLinearVelocity(b2Vec2(1.25f, -3.5f));
    box->body->SetAngularVelocity(2.0f);
    car->body->SetTransform(b2Vec2(25.0f, 15.0f), -1.0f);
    car->body->SetLinearVelocity(b2Vec2(-4.0f, 0.5f));
    car->body->SetAngularVelocity(-0.75f);
    const Pose boxBefore = poseOf(*box->body);
    const Pose carBefore = poseOf(*car->body);
    const float boxMass = box->body->GetMass();
    const float carMass = car->body->GetMass();

    WorldPtr old = createWorld();
    ASSERT_EQ(old->GetBodyCount(), 3);
    moveActorBodiesTo(*getWorld());
    EXPECT_EQ(old->GetBodyCount(), 1);  // only its ground is left
    EXPECT_EQ(getWorld()->GetBodyCount(), 3);
    old.reset();

    ASSERT_EQ(box->body->GetWorld(), getWorld());
    ASSERT_EQ(car->body->GetWorld(), getWorld());
    expectSamePose(boxBefore, *box->body);
    expectSamePose(carBefore, *car->body);
    EXPECT_EQ(box->body->GetType(), b2_dynamicBody);
    EXPECT_FLOAT_EQ(box->body->GetMass(), boxMass);
    EXPECT_FLOAT_EQ(car->body->GetMass(), carMass);
    EXPECT_EQ(box->body->GetFixtureList()->GetFriction(), 0.9f);
    EXPECT_EQ(car->body->GetFixtureList()->GetFriction(), 0.2f);
    EXPECT_EQ(box->body->GetFixtureList()->GetFilterData().maskBits, 0xFFFF);
}

TEST_F(WorldMove, MovedBoxesStillLandOnTheNewGround) {
    Box* box = nullptr;
    Car* car = nullptr;
    captureStdout([&] {
        box = spawnActor<Box>(200.0f, 300.0f);
        car = spawnActor<Car>(600.0f, 300.0f);
    });
    runSteps(10);
    replaceWorld();
    runSteps(400);
    EXPECT_NEAR(box->y, 724.0f, 0.5f);
    EXPECT_NEAR(car->y, 724.0f, 0.5f);  // 32 high as well
    EXPECT_FALSE(box->body->IsAwake());
}

TEST_F(WorldMove, SleepingBoxStaysAsleepAndCarKeepsDriving) {
    Box* box = nullptr;
    Car* car = nullptr;
    captureStdout([&] {
        box = spawnActor<Box>(200.0f, 300.0f);
        car = spawnActor<Car>(600.0f, 300.0f);
    });
    runSteps(400);
    ASSERT_FALSE(box->body->IsAwake());
    replaceWorld();
    EXPECT_FALSE(box->body->IsAwake());
    pressKey('w');
    runSteps(50);
    releaseKey('w');
    EXPECT_GT(car->x, 610.0f);  // driven along the new ground
    EXPECT_NEAR(car->y, 724.0f, 0.5f);
    EXPECT_FALSE(box->body->IsAwake());
}

TEST_F(WorldMove, DeadActorsAreMovedTooAndDeletedSafelyAfterwards) {
    Box* box = nullptr;
    captureStdout([&] { box = spawnActor<Box>(200.0f, 300.0f); });
    box->dead = true;
    replaceWorld();
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);
    updateActors();  // deletes the box: its body goes from the world that now holds it
    EXPECT_TRUE(allActors().empty());
    EXPECT_EQ(getWorld()->GetBodyCount(), 1);
}

}  // namespace
