// step_order_test.cpp: the logic step's order as the actors feel it.
#include <gtest/gtest.h>

#include <box2d/box2d.h>

#include <cmath>

#include "actors/car.h"
#include "game/main_loop.h"
#include "core/camera.h"
#include "core/keyboard.h"
#include "physics/physics_world.h"
#include "support/gl_window.h"

TEST(StepOrder, CarOverridesTheKeyScrollingOfTheSameStep) {
    createWorld();
    setCamera(0.0f, 0.0f, 1024, 600, 1.0f, 1.0f, 0.0f);
    Car* car = nullptr;
    captureStdout([&] { car = spawnActor<Car>(300.0f, 200.0f); });
    car->body->SetTransform(car->body->GetPosition(), -3.1415927f / 6.0f);  // angle 30
    pressKey('d');  // scrolls the camera right, and steers
    captureStdout([] { updateStep(); });
    const float radians = car->angle * 3.1415927f / 180.0f;
    const Vec2f camera = cameraPosition();
    EXPECT_FLOAT_EQ(camera.x, car->x + 11.0f * std::cos(radians));
    EXPECT_FLOAT_EQ(camera.y, car->y + 11.0f * std::sin(radians));
    EXPECT_NEAR(car->angle, 30.0f, 0.2f);  // d also steered it by 0.2 rad/s
    clearActors();
}
