// input.cpp: the mouse position and what keys, buttons and window events do.
#include "game/input.h"

#include "core/camera.h"
#include "core/keyboard.h"
#include "game/edit_feedback.h"
#include "game/grab.h"
#include "game/host.h"
#include "game/key_table.h"
#include "game/view_control.h"
#include "game/level_script.h"
#include "game/redraw.h"
#include "map/map_editor.h"

namespace {
constexpr int kLeftButton = 0;
constexpr int kMiddleButton = 1;
constexpr int kWheelUp = 3;
constexpr int kWheelDown = 4;
constexpr int kRightButton = 2;
// Read while held by the logic step: the script never sees them as its own.
constexpr unsigned char kHeldKeys[] = {'w', 'a', 's', 'd', ' '};

bool heldKey(unsigned char key) {
    for (unsigned char held : kHeldKeys)
        if (key == held) return true;
    return false;
}
constexpr int kButtonDown = 0;

struct InputState {
    Vec2f mouseWorld;
    Vec2f spawnPoint;
    bool fullScreen = false;
    int modifiers = 0;
    bool panning = false;  // the middle button is down: the view follows the cursor
    Vec2f panAnchor;       // the world point the middle press grabbed
};
InputState input;

// The editor's handles keep their size on screen, so their reach in world units follows the view.
void tellEditorTheView() {
    const Vec2f window = windowSize(), view = viewSize();
    if (window.x > 0.0f && zoom().x > 0.0f) setEditorPixelSize(view.x / window.x / zoom().x);
}

void onLeftButton(int state) {
    tellEditorTheView();
    if (state != kButtonDown) {
        editorMouseUp();
    } else if ((input.modifiers & kShiftModifier) != 0) {
        editorShiftPress(input.mouseWorld);
    } else {
        editorMouseDown(input.mouseWorld);
    }
    reportRefusedEdit();
}
}  // namespace

void onModifiers(int modifiers) { input.modifiers = modifiers; }
int heldModifiers() { return input.modifiers; }

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
    inputArrived();
    pressKey(key);
    if (!runKeyAction(key) && !heldKey(key)) levelScriptKey(key);
}

void onKeyUp(unsigned char key, int, int) {
    inputArrived();
    releaseKey(key);
}

void onSpecialKey(int key, int, int) {
    inputArrived();
    runSpecialKeyAction(key);
}

void onMouseButton(int button, int state, int x, int y) {
    inputArrived();
    const auto px = static_cast<float>(x), py = static_cast<float>(y);
    if (button == kRightButton) {
        // Whether the editor is on or off: the editor has only the left button.
        if (state == kButtonDown) {
            // A press that takes no body is the level script's click.
            if (!grabBodyAt(input.mouseWorld)) levelScriptClick(input.mouseWorld);
        } else {
            releaseGrab();
        }
    } else if (button == kLeftButton) {
        onLeftButton(state);
    } else if (button == kMiddleButton) {
        input.panning = state == kButtonDown;
        if (input.panning) input.panAnchor = screenToWorld(px, py);
    } else if ((button == kWheelUp || button == kWheelDown) && state == kButtonDown) {
        // The world point under the cursor stays put, so mouseWorld stays right as it is.
        zoomViewAbout(button == kWheelUp ? 1 : -1, px, py);
        tellEditorTheView();
    }
}

void onMouseMove(int x, int y) {
    inputArrived();
    if (input.panning) {
        // The grabbed point stays under the cursor: the cursor's world position does not change,
        // so nothing is dragged.
        panViewToHold(input.panAnchor, static_cast<float>(x), static_cast<float>(y));
        input.mouseWorld = input.panAnchor;
        return;
    }
    const Vec2f world = screenToWorld(static_cast<float>(x), static_cast<float>(y));
    const Vec2f delta = {world.x - input.mouseWorld.x, world.y - input.mouseWorld.y};
    input.mouseWorld = world;
    moveGrabTarget(world);
    editorDrag(delta);
    tellEditorTheView();  // the hover's handles keep their size on screen after a resize too
    editorPointer(world);
    reportRefusedEdit();
}

void onReshape(int width, int height) {
    setWindowSize(static_cast<float>(width), static_cast<float>(height));
    host().window.setViewport(width, height);
    pictureLost();  // a window of the same size again (back from full screen) needs it too
}
