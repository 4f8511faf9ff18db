// input.h: key table, mouse position and the key and mouse callbacks.
#pragma once
#include <cstdint>

#include "app/camera.h"

// Last cursor position in world units; (0, 0) until the first motion event.
extern Vec2f mouseWorld;
// Where key 1 drops cars and where the car image is drawn; set once at start-up.
extern Vec2f spawnPoint;
extern bool fullscreen;

// Codes are taken modulo 256; upper- and lower-case letters are different keys.
void pressKey(int code);
void releaseKey(int code);
int isKeyDown(int code);  // 0 or 1
void releaseAllKeys();

// lo + (hi - lo) * rand() / RAND_MAX
float randomRange(float lo, float hi);

// Window-system actions the key handler triggers; replaceable so the handlers run without a window.
struct WindowActions {
    void (*leaveMainLoop)();
    void (*enterFullScreen)();
    void (*leaveFullScreen)(int width, int height);  // reshape to width x height at (0, 0)
};
void setWindowActions(const WindowActions& actions);

void onKeyDown(unsigned char key, int x, int y);
void onKeyUp(unsigned char key, int x, int y);
void onMouseButton(int button, int state, int x, int y);
void onMouseMove(int x, int y);
