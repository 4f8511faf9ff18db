// background.h: the repeating world-locked background.
#pragma once

#include "core/vec2.h"

void drawBackground();  // the tiled background under the whole view; GL context required

// The view rectangle centred on the camera and its texture coordinates, one repetition per
// 512 world units; corners in the order first, along x, along y, back along x.
struct BackgroundQuad {
    float texCoords[8] = {};
    float vertices[8] = {};
};
BackgroundQuad backgroundQuad(Vec2f camera, Vec2f view);  // world units
