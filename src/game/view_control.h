// view_control.h: zooming and panning the view with the mouse, and the way back to the start view.
#pragma once
#include <cstdint>

#include "core/vec2.h"

constexpr int32_t kZoomStepsPerDoubling = 4;  // wheel notches from one zoom to twice it
constexpr int32_t kMinZoomLevel = -12;        // one eighth
constexpr int32_t kMaxZoomLevel = 8;          // four times

// The wheel step the current zoom is nearest to: 0 at 1, kZoomStepsPerDoubling at 2.
int32_t zoomLevel();
float zoomAtLevel(int32_t level);  // exact powers of the step, so a level always gives the same zoom
// Zooms by steps (positive in, negative out), clamped to the range, about window pixel (px, py):
// the world point under it stays under it. False when the zoom was already at that end.
bool zoomViewAbout(int32_t steps, float px, float py);
// Pans the view so that the world point (world units) lies under window pixel (px, py): a middle
// drag holds the point it grabbed under the cursor.
void panViewToHold(Vec2f world, float px, float py);
// The view the game starts with: centred on the origin, beside the spawn point, at zoom 1.
void homeView();

// The editor's grid of the snap's step (kGridStep), drawn under the map: off at start.
constexpr float kGridMajorStep = 64.0f;  // world units between stronger lines
bool gridShown();
void toggleGrid();
// A new game: the grid off.
void resetViewControl();
