// camera.h: where the world is looked at and how it maps onto the window.
#pragma once
#include <cstdint>

struct Vec2f {
    float x = 0.0f;
    float y = 0.0f;
};

void setWindowSize(float width, float height);
// Position, zoom and rotation are always stored; a view size of 0 keeps the current one.
void setCamera(float x, float y, int32_t viewWidth, int32_t viewHeight, float zoomX, float zoomY,
               float rotation);

Vec2f windowSize();
Vec2f cameraPosition();
Vec2f viewSize();
Vec2f zoom();
float rotation();  // degrees

// Reshape callback: stores the size and sets the viewport to the whole window.
void onReshape(int width, int height);

// Loads the world projection into GL_PROJECTION and multiplies the world transform onto the
// current model-view matrix (the caller pushes and pops it).
void applyWorldProjection();
void applyWorldTransform();

// Window pixel (origin top-left, y down) to world units.
Vec2f screenToWorld(float px, float py);
