// input.cpp: the mouse position and what keys, buttons and window events do.
#include "game/input.h"

#include "core/camera.h"
#include "core/keyboard.h"
#include "game/host.h"
#include "game/key_table.h"
#include "game/redraw.h"
#include "map/map_editor.h"

namespace {
constexpr int kLeftButton = 0;
constexpr int kButtonDown = 0;

struct InputState {
    Vec2f mouseWorld;
    Vec2f spawnPoint;
    bool fullScreen = false;
};
InputState input;
}  // namespace

Vec2f mouseWorld() { return input.mouseWorld; }
Vec2f spawnPoint() { return input.spawnPoint; }
void setSpawnPoint(Vec2f point) { input.spawnPoint = point; }
bool fullScreen() { return input.fullScreen; }
void resetInput() { input = InputState(); }

void toggleFullScreen() {
    input.fullScreen = !input.fullScreen;
    if (input.fullScreen) {
        host().window.enterFullScreen();
    } else {
        const Vec2f view = viewSize();
        host().window.leaveFullScreen(static_cast<int>(view.x), static_cast<int>(view.y));
    }
}

void onKeyDown(unsigned char key, int, int) {
    pressKey(key);
    runKeyAction(key);
}

void onKeyUp(unsigned char key, int, int) { releaseKey(key); }

void onMouseButton(int button, int state, int, int) {
    if (button != kLeftButton) return;
    if (state == kButtonDown) {
        editorMouseDown(input.mouseWorld);
    } else {
        editorMouseUp();
    }
}

void onMouseMove(int x, int y) {
    const Vec2f world = screenToWorld(static_cast<float>(x), static_cast<float>(y));
    const Vec2f delta = {world.x - input.mouseWorld.x, world.y - input.mouseWorld.y};
    input.mouseWorld = world;
    editorDrag(delta);
}

void onReshape(int width, int height) {
    setWindowSize(static_cast<float>(width), static_cast<float>(height));
    host().window.setViewport(width, height);
    pictureLost();  // a window of the same size again (back from full screen) needs it too
}
