// view_control.cpp: zoom about the cursor, panning, and the start view.
#include "game/view_control.h"

#include <algorithm>
#include <cmath>

#include "core/camera.h"

namespace {
struct ViewControlState {
    bool gridShown = false;
};
ViewControlState viewControl;
}  // namespace

float zoomAtLevel(int32_t level) {
    return static_cast<float>(std::exp2(static_cast<double>(level) / kZoomStepsPerDoubling));
}

int32_t zoomLevel() {
    const float z = zoom().x;
    if (!(z > 0.0f)) return 0;
    return static_cast<int32_t>(std::lround(std::log2(static_cast<double>(z)) * kZoomStepsPerDoubling));
}

bool zoomViewAbout(int32_t steps, float px, float py) {
    const int32_t from = zoomLevel();
    const int32_t to = std::clamp(from + steps, kMinZoomLevel, kMaxZoomLevel);
    if (to == from && zoom().x == zoomAtLevel(to)) return false;
    const Vec2f anchor = screenToWorld(px, py);
    const Vec2f position = cameraPosition();
    const float z = zoomAtLevel(to);
    setCamera(position.x, position.y, 0, 0, z, z, rotation());
    panViewToHold(anchor, px, py);
    return true;
}

// The view's zoom and size stay, so moving the camera by the miss moves the point exactly there
// (up to float rounding).
void panViewToHold(Vec2f world, float px, float py) {
    const Vec2f now = screenToWorld(px, py);
    const Vec2f position = cameraPosition();
    setCamera(position.x + (world.x - now.x), position.y + (world.y - now.y), 0, 0, zoom().x,
              zoom().y, rotation());
}

void homeView() { setCamera(0.0f, 0.0f, 0, 0, 1.0f, 1.0f, 0.0f); }

bool gridShown() { return viewControl.gridShown; }
void toggleGrid() { viewControl.gridShown = !viewControl.gridShown; }
void resetViewControl() { viewControl = ViewControlState(); }
