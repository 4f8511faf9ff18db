// sprite.h: immediate drawing of one frame of a sheet, and of the whole car image.
#pragma once
#include <cstdint>

#include "render/texture.h"

void drawSprite(const Texture& texture, int32_t frame, float x, float y, float scaleX,
                float scaleY, float angle);
void drawSpriteFrame(const Texture& texture, int32_t frame, float x, float y);
// Whole Car.png centred on (x, y); angle turns +x toward -y, the opposite of drawSprite.
void drawCarImage(int32_t x, int32_t y, int32_t halfWidth, int32_t halfHeight, float angle);
