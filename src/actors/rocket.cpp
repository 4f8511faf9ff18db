// rocket.cpp: a bodiless projectile that flies straight and bursts on entering the map.
#include "actors/rocket.h"

#include <cstdlib>

#include "core/random.h"
#include "core/sound_cues.h"
#include "map/map_quad.h"
#include "render/effects.h"
#include "render/texture.h"


const ActorKind& Rocket::kind() const { return kRocketKind; }

namespace {

constexpr int32_t kLifetime = 550;  // steps: 5.5 seconds
constexpr double kFullTurn = 360.0;

}  // namespace

Rocket::Rocket(float startX, float startY, float stepX, float stepY) {
    texture = findTexture("bloomtest.png");
    x = startX;
    y = startY;
    vx = stepX;
    vy = stepY;
    lifetime = kLifetime;
    cueSound(SoundCue{SoundCueKind::Rocket, x, y});
}

void Rocket::update() {
    x = x + vx;
    y = y + vy;
    // Tested after the move, so the burst is where the rocket entered the quad.
    if (anyQuadAt(Vec2f{x, y})) {
        const float burstAngle =
            static_cast<float>(static_cast<double>(nextRandom()) / RAND_MAX * kFullTurn);
        if (texture) {
            spawnBurst(*texture, x, y, burstAngle);
        }
        cueSound(SoundCue{SoundCueKind::Burst, x, y});
        dead = true;
    }
}

void Rocket::draw() {
    if (texture) {
        pushSprite(*texture, 0, x, y, 0.0f, 0.0f, 0.0f);
    }
}

void spawnRocket() { spawnActor<Rocket>(0.0f, 0.0f, 1.0f, 1.0f); }
