// rocket.h: a bodiless projectile that bursts when it enters the map.
#pragma once

#include "actors/actor.h"

struct Texture;

class Rocket final : public Actor {
public:
    Rocket(float x, float y, float vx, float vy);
    void update() override;
    void draw() override;

    Texture* texture = nullptr;
};

void spawnRocket();  // at (0, 0), moving (1, 1) per step
