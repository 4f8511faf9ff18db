// Car: spawn line, drive, steering, angle convention, diagnostic line and the following camera.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include "core/keyboard.h"
#include "actors/car.h"
#include "core/camera.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {


void loadTexturesHeadless() {
    if (findTexture("Car.png") == nullptr) {
        captureStdout([] { loadAllTextures(loadNoImage); });
    }
    for (const auto& texture : allTextures()) {
        texture->queues.batchCount = 0;
        texture->queues.lightCount = 0;
    }
}

// One logic step as far as the actors see it; returns what it printed.
std::string step() {
    return captureStdout([] {
        updateActors();
        getWorld()->Step(0.01f, 5, 6);
        postStepActors();
    });
}

Car* quietCar(float x, float y) {
    Car* car = nullptr;
    captureStdout([&] { car = spawnActor<Car>(x, y); });
    return car;
}

class CarTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearActors();
        createWorld();
        releaseAllKeys();
        setCamera(0.0f, 0.0f, 1024, 600, 1.0f, 1.0f, 0.0f);
    }
    void TearDown() override {
        clearActors();
        releaseAllKeys();
    }
};

TEST_F(CarTest, SpawnLinePrintsPositionAndTheCarPointerTwice) {
    Car* car = nullptr;
    const std::string printed = captureStdout([&] { car = spawnActor<Car>(10.0f, 20.0f); });
    std::ostringstream pointer;
    pointer << static_cast<const void*>(car);
    EXPECT_EQ(printed, "  Car - POS:10/20/ - " + pointer.str() + " / " + pointer.str() + "\n");
    EXPECT_EQ(car->lifetime, 0);
}

TEST_F(CarTest, RestingCarPrintsItsDiagnosticLineEveryStep) {
    quietCar(10.0f, 20.0f);
    const std::string first = captureStdout([] { updateActors(); });
    EXPECT_EQ(first, "0 / 0 / 180 / 180\n");
    // Falling straight down (+y): the motion is 270 degrees from the reversed heading.
    getWorld()->Step(0.01f, 5, 6);
    captureStdout([] { postStepActors(); });
    const std::string second = captureStdout([] { updateActors(); });
    EXPECT_EQ(second, "1 / 0 / 270 / -90\n");
}

TEST_F(CarTest, DiagnosticLineCoversEveryHeadingCase) {
    EXPECT_EQ(carDiagnosticLine(0.0f, 0.0f, 0.0f), "0 / 0 / 180 / 180");
    EXPECT_EQ(carDiagnosticLine(-0.0f, -0.0f, 0.0f), "0 / 0 / 180 / 180");
    // Straight along +x: a +0 y component must not flip atan2 to -pi (A would read 360).
    EXPECT_EQ(carDiagnosticLine(5.0f, 0.0f, 0.0f), "0 / 0 / 0 / 0");
    EXPECT_EQ(carDiagnosticLine(5.0f, -0.0f, 0.0f), "0 / 0 / 0 / 0");
    EXPECT_EQ(carDiagnosticLine(5.0f, 5.0f, 0.0f), "0.5 / 0 / 315 / -45");
    EXPECT_EQ(carDiagnosticLine(0.0f, 0.0f, 90.0f), "1 / 90 / 180 / -90");
    EXPECT_EQ(carDiagnosticLine(5.0f, 0.0f, 270.0f), "1 / 270 / 0 / -90");
    EXPECT_EQ(carDiagnosticLine(5.0f, 0.0f, -200.0f), "0.222222 / -200 / 0 / 160");
}

// The reused buffer writes every float exactly as a fresh string stream does: random bit
// patterns cover signs, zeros, subnormals, huge values, infinities and NaNs.
TEST_F(CarTest, DiagnosticBufferWritesWhatAStringStreamWrites) {
    std::mt19937 gen(3);
    auto anyFloat = [&gen] {
        const uint32_t bits = static_cast<uint32_t>(gen());
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return gen() % 2 ? f : std::uniform_real_distribution<float>(-400.0f, 400.0f)(gen);
    };
    char line[kCarDiagnosticSize];
    for (int i = 0; i < 200000; ++i) {
        const CarDiagnostic v{anyFloat(), anyFloat(), anyFloat(), anyFloat()};
        std::ostringstream expected;
        expected << v.drift << " / " << v.theta << " / " << v.a << " / " << v.c;
        ASSERT_EQ(std::string(writeCarDiagnostic(v, line)), expected.str());
    }
}

TEST_F(CarTest, LevelCarIsPushedByWForwardAndBySBackWithWWinning) {
    Car* car = quietCar(100.0f, -2000.0f);  // high above the ground: nothing touches it
    auto pushAlongX = [&] {
        const float before = car->body->GetLinearVelocity().x;
        step();
        return car->body->GetLinearVelocity().x - before;
    };
    const float expected = 200.0f / car->body->GetMass() * 0.01f;
    pressKey('w');
    EXPECT_NEAR(pushAlongX(), expected, 1e-4f);
    pressKey('s');
    EXPECT_NEAR(pushAlongX(), expected, 1e-4f);  // both held: only w
    releaseKey('w');
    EXPECT_NEAR(pushAlongX(), -expected, 1e-4f);
    releaseKey('s');
    EXPECT_NEAR(pushAlongX(), 0.0f, 1e-6f);
    EXPECT_EQ(car->angle, 0.0f);
}

TEST_F(CarTest, DriveFollowsTheCarsAngle) {
    Car* car = quietCar(100.0f, -2000.0f);
    car->angle = 90.0f;  // +x turned toward +y: forward is down the screen
    const b2Vec2 before = car->body->GetLinearVelocity();
    pressKey('w');
    captureStdout([] { updateActors(); });
    getWorld()->Step(0.01f, 5, 6);
    const b2Vec2 after = car->body->GetLinearVelocity();
    const float push = 200.0f / car->body->GetMass() * 0.01f;
    EXPECT_NEAR(after.x - before.x, 0.0f, 1e-4f);
    EXPECT_NEAR(after.y - before.y, push + 55.0f * 0.01f, 1e-4f);
}

TEST_F(CarTest, QuarterTurnClockwiseReadsAs270) {
    Car* car = quietCar(100.0f, 100.0f);
    car->body->SetTransform(car->body->GetPosition(), 3.1415927f / 2.0f);
    car->postStep();
    EXPECT_FLOAT_EQ(car->angle, 270.0f);
    // The body is turned back into -2pi..0 without changing its orientation.
    EXPECT_NEAR(car->body->GetAngle(), -3.0f * 3.1415927f / 2.0f, 1e-5f);

    car->body->SetTransform(car->body->GetPosition(), -3.1415927f / 2.0f);
    car->postStep();
    EXPECT_FLOAT_EQ(car->angle, 90.0f);
    car->body->SetTransform(car->body->GetPosition(), -2.5f * 3.1415927f);
    car->postStep();
    EXPECT_FLOAT_EQ(car->angle, 90.0f);  // 450 wrapped once
}

TEST_F(CarTest, SteeringApproachesFourRadiansPerSecondAndDecays) {
    Car* car = quietCar(100.0f, -2000.0f);
    pressKey('d');
    captureStdout([] {
        for (int i = 0; i < 300; ++i) updateActors();
    });
    EXPECT_NEAR(car->body->GetAngularVelocity(), 4.0f, 1e-4f);
    pressKey('a');  // both: the steps cancel, only the decay acts
    captureStdout([] { updateActors(); });
    EXPECT_NEAR(car->body->GetAngularVelocity(), 3.8f, 1e-4f);
    releaseKey('d');
    captureStdout([] {
        for (int i = 0; i < 400; ++i) updateActors();
    });
    EXPECT_NEAR(car->body->GetAngularVelocity(), -4.0f, 1e-4f);
    releaseKey('a');
    car->body->SetAngularVelocity(2.0f);
    captureStdout([] { updateActors(); });
    EXPECT_FLOAT_EQ(car->body->GetAngularVelocity(), 1.9f);
}

TEST_F(CarTest, FirstPostStepPutsTheCameraJustAheadOfTheCar) {
    Car* car = quietCar(10.0f, 20.0f);
    step();
    const Vec2f camera = cameraPosition();
    EXPECT_FLOAT_EQ(camera.x, car->x + 11.0f);
    EXPECT_FLOAT_EQ(camera.y, car->y);
    EXPECT_GT(car->y, 20.0f);  // it fell
    EXPECT_EQ(viewSize().x, 1024.0f);
    EXPECT_EQ(viewSize().y, 600.0f);
}

TEST_F(CarTest, DrawQueuesOnlyItsSprite) {
    loadTexturesHeadless();
    Car* car = quietCar(100.0f, 100.0f);
    car->body->SetTransform(b2Vec2(4.0f, 6.0f), 3.1415927f / 2.0f);
    car->postStep();
    drawActors();
    Texture* sheet = findTexture("Car.png");
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->queues.batchCount, 1);
    EXPECT_EQ(sheet->queues.batch[0].frame, 0);
    EXPECT_EQ(sheet->queues.batch[0].x, 80.0f);
    EXPECT_EQ(sheet->queues.batch[0].y, 120.0f);
    EXPECT_EQ(sheet->queues.batch[0].extra1, 1.0f);
    EXPECT_EQ(sheet->queues.batch[0].extra2, 1.0f);
    EXPECT_FLOAT_EQ(sheet->queues.batch[0].angle, 270.0f);
    for (const auto& texture : allTextures()) {
        EXPECT_EQ(texture->queues.lightCount, 0) << texture->fileName;
    }
}

}  // namespace
