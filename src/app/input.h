// input.h: key table, mouse position and the key and mouse callbacks.
#pragma once
#include <cstdint>

#include "core/vec2.h"

// Last cursor position in world units; (0, 0) until the first motion event.
extern Vec2f mouseWorld;
// Where key 1 drops cars and where the car image is drawn, world units; set once at start-up.
extern Vec2f spawnPoint;
extern bool fullscreen;

// Window-system actions the key handler triggers; replaceable so the handlers run without a window.
struct WindowActions {
    void (*leaveMainLoop)();
    void (*enterFullScreen)();
    void (*leaveFullScreen)(int width, int height);  // reshape to width x height at (0, 0)
};
void setWindowActions(const WindowActions& actions);

// The window system's callbacks; positions in window pixels from the top-left corner.
void onKeyDown(unsigned char key, int x, int y);  // holds the key, then runs its action
void onKeyUp(unsigned char key, int x, int y);
void onMouseButton(int button, int state, int x, int y);  // state 0 pressed, 1 released
void onMouseMove(int x, int y);
