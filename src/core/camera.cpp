// camera.cpp: the one camera and the mouse conversion back to world units.
#include "core/camera.h"

#include <cmath>

#include "core/units.h"

namespace {
struct Camera {
    float windowWidth = 0.0f, windowHeight = 0.0f;  // 0 until the first reshape
    float x = 0.0f, y = 0.0f;
    float viewWidth = 0.0f, viewHeight = 0.0f;  // world units spanned by the whole window
    float zoomX = 1.0f, zoomY = 1.0f;
    float rotation = 0.0f;  // degrees
};
Camera camera;
}  // namespace

void resetCamera() { camera = Camera(); }

void setWindowSize(float width, float height) {
    camera.windowWidth = width;
    camera.windowHeight = height;
}

void setCamera(float x, float y, int32_t viewWidth, int32_t viewHeight, float zoomX, float zoomY,
               float rotation) {
    camera.x = x;
    camera.y = y;
    if (viewWidth != 0) camera.viewWidth = static_cast<float>(viewWidth);
    if (viewHeight != 0) camera.viewHeight = static_cast<float>(viewHeight);
    camera.zoomX = zoomX;
    camera.zoomY = zoomY;
    camera.rotation = rotation;
}

Vec2f windowSize() { return {camera.windowWidth, camera.windowHeight}; }
Vec2f cameraPosition() { return {camera.x, camera.y}; }
Vec2f viewSize() { return {camera.viewWidth, camera.viewHeight}; }
Vec2f zoom() { return {camera.zoomX, camera.zoomY}; }
float rotation() { return camera.rotation; }

Vec2f screenToWorld(float px, float py) {
    // A window reshaped to nothing (minimised, say) has no pixels to map; its every point is the
    // view's centre rather than the NaN a division by zero would make.
    if (!(camera.windowWidth > 0.0f && camera.windowHeight > 0.0f)) return {camera.x, camera.y};
    const float vx = (px - camera.windowWidth / 2) / camera.windowWidth * camera.viewWidth;
    const float vy = (py - camera.windowHeight / 2) / camera.windowHeight * camera.viewHeight;
    const double r = toRadians(static_cast<double>(camera.rotation));
    // The world transform scales by the zoom before it turns, so the way back divides after
    // turning; a zoom of 0 shows nothing to point at and is left undivided.
    double ux = vx * std::cos(r) + vy * std::sin(r);
    double uy = -vx * std::sin(r) + vy * std::cos(r);
    if (camera.zoomX != 0.0f) ux /= camera.zoomX;
    if (camera.zoomY != 0.0f) uy /= camera.zoomY;
    return {static_cast<float>(camera.x + ux), static_cast<float>(camera.y + uy)};
}

Vec2f worldToScreen(Vec2f world) {
    const float halfWidth = camera.windowWidth / 2, halfHeight = camera.windowHeight / 2;
    if (!(camera.windowWidth > 0.0f && camera.windowHeight > 0.0f) || camera.zoomX == 0.0f ||
        camera.zoomY == 0.0f || camera.viewWidth == 0 || camera.viewHeight == 0)
        return {halfWidth, halfHeight};
    const double ux = (static_cast<double>(world.x) - camera.x) * camera.zoomX;
    const double uy = (static_cast<double>(world.y) - camera.y) * camera.zoomY;
    const double r = toRadians(static_cast<double>(camera.rotation));
    const double vx = ux * std::cos(r) - uy * std::sin(r);
    const double vy = ux * std::sin(r) + uy * std::cos(r);
    return {static_cast<float>(vx / camera.viewWidth * camera.windowWidth + halfWidth),
            static_cast<float>(vy / camera.viewHeight * camera.windowHeight + halfHeight)};
}
