// car.cpp: the drivable car: drive, steering, the drift diagnostic and the following camera.
#include "actors/car.h"

#include <cmath>
#include <cstdio>
#include <iostream>

#include <box2d/box2d.h>

#include "core/camera.h"
#include "core/keyboard.h"
#include "physics/physics_world.h"
#include "render/effects.h"
#include "render/texture.h"


const ActorKind& Car::kind() const { return kCarKind; }

namespace {

constexpr float kHalfLength = 1.675f;  // metres: 67 world units long
constexpr float kHalfWidth = 0.8f;     // metres: 32 world units wide
constexpr float kFriction = 0.2f;
constexpr float kDriveForce = 200.0f;  // newtons at the centre of mass
constexpr double kSteerDecay = 0.95;   // per step
constexpr double kSteerStep = 0.2;     // rad/s per step
constexpr float kLookAhead = 11.0f;    // world units ahead of the car
constexpr int kKeyForward = 'w';
constexpr int kKeyBackward = 's';
constexpr int kKeyLeft = 'a';
constexpr int kKeyRight = 'd';

uint8_t followedPlayer = 0;  // see setCameraFollowsPlayer

}  // namespace

void setCameraFollowsPlayer(uint8_t player) { followedPlayer = player; }
uint8_t cameraFollowsPlayer() { return followedPlayer; }

Car::Car(float startX, float startY)
    : BodyActor(startX, startY, kHalfLength, kHalfWidth, kFriction) {
    texture = findTexture("Car.png");
    printSpawnLine("Car", *this);
}

void Car::update() {
    const float theta = angle;  // degrees, as the last postStep left it
    if (isPlayerKeyDown(player, kKeyForward)) {
        body->ApplyForceToCenter(
            b2Vec2(kDriveForce * std::cos(toRadians(theta)), kDriveForce * std::sin(toRadians(theta))),
            true);
    } else if (isPlayerKeyDown(player, kKeyBackward)) {
        body->ApplyForceToCenter(b2Vec2(-kDriveForce * std::cos(toRadians(theta)),
                                        -kDriveForce * std::sin(toRadians(theta))),
                                 true);
    }

    const b2Vec2 velocity = body->GetLinearVelocityFromLocalPoint(body->GetLocalCenter());
    static char line[kCarDiagnosticSize];  // reused: printing the line allocates nothing
    std::cout << writeCarDiagnostic(carDiagnostic(velocity.x, velocity.y, theta), line) << std::endl;

    // Runs every step, keys or not, so an unsteered spin dies away.
    double spin = kSteerDecay * body->GetAngularVelocity();
    if (isPlayerKeyDown(player, kKeyLeft)) {
        spin -= kSteerStep;
    }
    if (isPlayerKeyDown(player, kKeyRight)) {
        spin += kSteerStep;
    }
    body->SetAngularVelocity(static_cast<float>(spin));
}

void Car::postStep() {
    x = toUnits(body->GetPosition().x);
    y = toUnits(body->GetPosition().y);
    // The car's angle runs against its body's; kept within 0..360 once each way.
    angle = -toDegrees(body->GetAngle());
    if (angle > 360.0f) {
        angle -= 360.0f;
    }
    if (angle < 0.0f) {
        angle += 360.0f;
    }
    if (angle == 0.0f) {
        angle = 0.0f;  // a level body gives -0, which would print as "-0" in the diagnostic
    }
    body->SetTransform(body->GetPosition(), toRadians(-angle));
    if (player != followedPlayer) return;
    setCamera(x + kLookAhead * std::cos(toRadians(angle)), y + kLookAhead * std::sin(toRadians(angle)),
              0, 0, zoom().x, zoom().y, 0.0f);  // the player's zoom stays while the car leads
}

void Car::draw() {
    if (texture) {
        pushSprite(*texture, 0, x, y, 1.0f, 1.0f, angle);
    }
}

CarDiagnostic carDiagnostic(float vx, float vy, float theta) {
    // Direction of motion, reversed. A body at rest reports +0 components, whose negations
    // are -0, and atan2(-0, -0) is -pi: take both as +0 so standing still reads 180, not 360.
    float backX = -vx;
    float backY = -vy;
    if (backX == 0.0f) {
        backX = 0.0f;
    }
    if (backY == 0.0f) {
        backY = 0.0f;
    }
    const float a = 180.0f - toDegrees(std::atan2(backY, backX));

    float c = a + theta;
    if (a > 180.0f - theta) {
        c = a + theta - 360.0f;
    } else if (-theta > a + 180.0f) {
        c = a + theta + 360.0f;
    }
    const float d = std::fabs(c);
    const float driftFactor = d <= 90.0f ? d / 90.0f : (180.0f - d) / 90.0f;

    return CarDiagnostic{driftFactor, theta, a, c};
}

const char* writeCarDiagnostic(const CarDiagnostic& values, char (&out)[kCarDiagnosticSize]) {
    // A stream's default notation for a float is the double's "%.6g" in the C locale, which is
    // the locale the game's streams keep.
    std::snprintf(out, sizeof out, "%.6g / %.6g / %.6g / %.6g", static_cast<double>(values.drift),
                  static_cast<double>(values.theta), static_cast<double>(values.a),
                  static_cast<double>(values.c));
    return out;
}

std::string carDiagnosticLine(float vx, float vy, float theta) {
    char line[kCarDiagnosticSize];
    return writeCarDiagnostic(carDiagnostic(vx, vy, theta), line);
}
