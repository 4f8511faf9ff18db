// camera.h: where the world is looked at and how the window's pixels map back onto it (no GL).
#pragma once
#include <cstdint>

#include "core/vec2.h"

// Everything back to zero, as before the first setCamera and reshape.
void resetCamera();
// Window size in pixels, as the last reshape reported it.
void setWindowSize(float width, float height);
// Position in world units, view size in world units (0 keeps the current one), zoom factors and
// rotation in degrees.
void setCamera(float x, float y, int32_t viewWidth, int32_t viewHeight, float zoomX, float zoomY,
               float rotation);

Vec2f windowSize();      // pixels; (0, 0) before the first reshape
Vec2f cameraPosition();  // world units, the centre of the view
Vec2f viewSize();        // world units spanned by the whole window
Vec2f zoom();
float rotation();  // degrees

// Window pixel (origin top-left, y down) to world units, through rotation and zoom; the camera
// position while the window has no area.
Vec2f screenToWorld(float px, float py);
// The way back: world units to window pixels; the window's centre while it has no area or the
// zoom is 0.
Vec2f worldToScreen(Vec2f world);
