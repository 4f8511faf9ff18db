// effects.h: queues of sprites and lights, bursts and flickers, advanced every logic step.
#pragma once
#include <cstdint>

#include "render/texture.h"

// Queue a sprite or a light on the sheet for this frame (world units, degrees); a full queue
// drops the entry.
void pushSprite(Texture& texture, int32_t frame, float x, float y, float extra1, float extra2,
                float angle);
void pushLight(Texture& texture, float x, float y, float angle, float red, float green,
               float blue, uint8_t flag);
// Start a burst or a flicker on the sheet at (x, y) world units, angle in degrees; the sheet
// owns it until it ends. A looping flicker draws one random number for its start phase.
void spawnBurst(Texture& texture, float x, float y, float angle);
void spawnFlicker(Texture& texture, float x, float y, float angle, bool looping, int32_t mode);
void updateEffects();  // one logic step of every sheet's effects; no GL

// Frame a burst shows now; on a paired sheet its pair's base frame (the glow frame is the next).
int32_t burstFrame(const Texture& texture, const Burst& burst);
int32_t pairedBaseFrame(int32_t pairIndex);  // 2 * pairIndex
