// box.cpp: the physics crate sprinkled by the space key.
#include "actors/box.h"

#include <cmath>

#include <box2d/box2d.h>

#include "physics/physics_world.h"
#include "render/effects.h"
#include "render/texture.h"


const ActorKind& Box::kind() const { return kBoxKind; }

namespace {

constexpr float kHalfSize = 0.8f;  // metres: a 32 x 32 unit square
constexpr float kFriction = 0.9f;
constexpr int32_t kLifetime = 2400;  // steps: 24 seconds
constexpr float kLightRed = 0.38f;
constexpr float kLightGreen = 0.35f;
constexpr float kLightBlue = 0.25f;
constexpr int64_t kSpawnFactor = 90;
constexpr double kSpawnThreshold = 0.99;

}  // namespace

Box::Box(float startX, float startY) : BodyActor(startX, startY, kHalfSize, kHalfSize, kFriction) {
    texture = findTexture("image.png");
    printSpawnLine("Box", *this);
    lifetime = kLifetime;
}

void Box::postStep() {
    x = toUnits(body->GetPosition().x);
    y = toUnits(body->GetPosition().y);
    angle = toDegrees(body->GetAngle());
}

void Box::draw() {
    if (texture) {
        pushSprite(*texture, 0, x, y, 1.0f, 1.0f, angle);
    }
    if (Texture* light = findTexture("light1.png")) {
        pushLight(*light, x, y, angle, kLightRed, kLightGreen, kLightBlue, 0);
    }
}

bool boxSpawnDue(int32_t elapsedMs) {
    // The product wraps like 32-bit arithmetic, without signed-overflow undefined behaviour.
    const uint32_t wrapped = static_cast<uint32_t>(kSpawnFactor * elapsedMs);
    const int32_t product = static_cast<int32_t>(wrapped);
    return std::sin(static_cast<double>(product)) > kSpawnThreshold;
}
