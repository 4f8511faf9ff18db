// box.h: a 32 x 32 physics crate that lights its surroundings and lives 24 seconds.
#pragma once
#include <cstdint>

#include "actors/actor.h"

struct Texture;

class Box final : public Actor {
public:
    Box(float x, float y);
    ~Box() override;
    void postStep() override;
    void draw() override;
    void moveBodyTo(b2World& newWorld) override;

    Texture* texture = nullptr;
    b2Body* body = nullptr;
};

// The sprinkling test of the logic step: true when sin(90 * t) > 0.99, t in milliseconds.
bool boxSpawnDue(int32_t elapsedMs);
