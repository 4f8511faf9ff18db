// sprite.h: immediate drawing of one frame of a sheet, and of the whole car image.
#pragma once
#include <cstdint>

#include "render/texture.h"

// One frame of the sheet (taken modulo its frame count) at (x, y) in the current coordinates,
// scaled and turned by angle degrees (+x toward +y); nothing for a sheet without frames.
void drawSprite(const Texture& texture, int32_t frame, float x, float y, float scaleX,
                float scaleY, float angle);
void drawSpriteFrame(const Texture& texture, int32_t frame, float x, float y);  // unscaled, unturned
// Whole Car.png centred on (x, y), half-sizes in world units; angle in degrees turns +x toward
// -y, the opposite of drawSprite.
void drawCarImage(int32_t x, int32_t y, int32_t halfWidth, int32_t halfHeight, float angle);
