// box.h: a 32 x 32 physics crate that lights its surroundings and lives 24 seconds.
#pragma once
#include <cstdint>

#include "actors/body_actor.h"

struct Texture;

class Box final : public BodyActor {
public:
    Box(float startX, float startY);  // world units; prints the spawn line
    const ActorKind& kind() const override;
    void postStep() override;
    void draw() override;

    Texture* texture = nullptr;  // borrowed "image.png"; nullptr when never loaded
};

// The sprinkling test of the logic step: true when sin(90 * t) > 0.99, t in milliseconds.
bool boxSpawnDue(int32_t elapsedMs);
