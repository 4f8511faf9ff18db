// effects.cpp: sprite and light queues, bursts and flickers; advanced by the logic step, no GL.
#include "render/effects.h"

#include <cmath>
#include <cstdlib>

#include "core/random.h"
#include "core/units.h"

namespace {
// Push only while the count is at most these: one slot of each queue is never used.
constexpr int32_t kLastBatchIndex = 3998;
constexpr int32_t kLastLightIndex = 198;
constexpr double kBurstStep = 0.01;           // phase per step: a burst plays over 100 steps
constexpr float kLoopingFlickerSpeed = 0.01f;  // phase per step: one cycle a second
constexpr float kOneShotFlickerSpeed = 0.8f;   // dead on its second step
constexpr float kSpawnColour = 0.8f;

void stepBurst(Burst& burst) {
    const double p = burst.phase + kBurstStep;
    if (p > 1) {
        burst.finished = true;  // the phase stays, so the last frame shows once more
    } else {
        burst.phase = static_cast<float>(p);
    }
}

void stepFlicker(Flicker& flicker) {
    if (flicker.phase + flicker.speed > 1) {
        if (!flicker.looping) {
            flicker.dead = true;
            return;
        }
        flicker.phase -= 1;
    }
    flicker.phase = flicker.phase + flicker.speed;
    const double theta = toRadians(flicker.phase * 360);
    if (flicker.mode == 0) {
        // Drift on a circle of radius 0.5, from +x toward -y; warm colour wobbling around orange.
        flicker.x = flicker.centerX + static_cast<float>(0.5 * std::cos(theta));
        flicker.y = flicker.centerY - static_cast<float>(0.5 * std::sin(theta));
        flicker.green = static_cast<float>(0.55 + static_cast<float>(0.05 * std::cos(theta)));
        const double twoTheta = toRadians(flicker.phase * 720);
        flicker.red =
            static_cast<float>(flicker.green + 0.2 + static_cast<float>(0.025 * std::cos(twoTheta)));
        flicker.blue = 0.05f;
    } else if (flicker.mode == 1) {
        const float grey = static_cast<float>((0.5 * std::cos(theta)) * 0.5);
        flicker.red = grey;
        flicker.green = grey;
        flicker.blue = grey;
    }
}
}  // namespace

void pushSprite(Texture& texture, int32_t frame, float x, float y, float extra1, float extra2,
                float angle) {
    if (texture.queues.batchCount > kLastBatchIndex) return;
    BatchSprite& sprite = texture.queues.batch[texture.queues.batchCount];
    sprite.frame = frame;
    sprite.x = x;
    sprite.y = y;
    sprite.extra1 = extra1;
    sprite.extra2 = extra2;
    sprite.angle = angle;
    ++texture.queues.batchCount;
}

void pushLight(Texture& texture, float x, float y, float angle, float red, float green,
               float blue, uint8_t flag) {
    if (texture.queues.lightCount > kLastLightIndex) return;
    LightSprite& light = texture.queues.lights[texture.queues.lightCount];
    light.x = x;
    light.y = y;
    light.flag = flag;
    light.angle = angle;
    light.red = red;
    light.green = green;
    light.blue = blue;
    ++texture.queues.lightCount;
}

void spawnBurst(Texture& texture, float x, float y, float angle) {
    Burst burst;
    burst.x = x;
    burst.y = y;
    burst.angle = angle;
    texture.queues.bursts.push_back(burst);
}

void spawnFlicker(Texture& texture, float x, float y, float angle, bool looping, int32_t mode) {
    Flicker flicker;
    flicker.x = flicker.centerX = x;
    flicker.y = flicker.centerY = y;
    flicker.angle = angle;
    flicker.mode = mode;
    flicker.red = flicker.green = flicker.blue = kSpawnColour;
    if (looping) {
        const double r = static_cast<double>(nextRandom()) / RAND_MAX;
        flicker.phase = static_cast<float>((r * 30) * 0.01);  // a random start within [0, 0.3]
        flicker.speed = kLoopingFlickerSpeed;
    } else {
        flicker.speed = kOneShotFlickerSpeed;
    }
    flicker.looping = looping;
    texture.queues.flickers.push_back(flicker);
}

// One walk per list: a removed entry's successor is examined in the same walk, and the live
// entries close up in order, so clearing many finished entries costs no more than stepping them.
template <typename Effect, typename IsGone, typename Step>
void walkEffects(std::vector<Effect>& effects, IsGone isGone, Step step) {
    size_t kept = 0;
    for (size_t i = 0; i < effects.size(); ++i) {
        if (isGone(effects[i])) continue;
        step(effects[i]);
        if (kept != i) effects[kept] = effects[i];
        ++kept;
    }
    effects.resize(kept);
}

void updateEffects() {
    for (const auto& texture : allTextures()) {
        walkEffects(texture->queues.bursts, [](const Burst& b) { return b.finished; }, stepBurst);
        walkEffects(texture->queues.flickers, [](const Flicker& f) { return f.dead; }, stepFlicker);
    }
}

int32_t burstFrame(const Texture& texture, const Burst& burst) {
    if (texture.paired) {
        const int32_t pairs = texture.frameCount / 2;
        return pairedBaseFrame(static_cast<int32_t>(static_cast<float>(pairs) * burst.phase));
    }
    return static_cast<int32_t>(static_cast<float>(texture.frameCount) * burst.phase);
}

int32_t pairedBaseFrame(int32_t pairIndex) { return 2 * pairIndex; }
