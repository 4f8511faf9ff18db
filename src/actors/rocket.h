// rocket.h: a bodiless projectile that bursts when it enters the map.
#pragma once

#include "actors/actor.h"

struct Texture;

class Rocket final : public Actor {
public:
    // Position in world units, velocity in world units per step.
    const ActorKind& kind() const override;
    Rocket(float startX, float startY, float stepX, float stepY);
    void update() override;
    void draw() override;

    Texture* texture = nullptr;  // borrowed "bloomtest.png"; nullptr when never loaded
};

// A rocket at (0, 0) moving (1, 1) world units per step; the list owns it.
void spawnRocket();
