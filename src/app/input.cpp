// input.cpp: the key table, the mouse position and the actions keys and buttons trigger.
#include "app/input.h"

#include <GL/freeglut.h>

#include <string>

#include "app/help_panel.h"
#include "app/sandbox.h"
#include "app/sandbox_keys.h"
#include "app/sandbox_limits.h"
#include "core/camera.h"
#include "core/keyboard.h"
#include "core/random.h"
#include "map/map_commands.h"
#include "map/map_editor.h"
#include "map/map_file.h"
#include "render/effects.h"
#include "render/texture.h"

Vec2f mouseWorld;
Vec2f spawnPoint;
bool fullscreen = false;

namespace {
constexpr int kBurstsPerZ = 6;
constexpr float kBurstMargin = 32.0f;
constexpr float kBurstSpanX = 768.0f;  // bursts land in x 32..800
constexpr float kBurstSpanY = 568.0f;  // and y 32..600
constexpr float kFlickerRange = 1000.0f;
constexpr int kLeftButton = 0;
constexpr int kButtonDown = 0;
const std::string kQuitUnsavedHint = " (press Esc again to quit without saving)";

void leaveWithGlut() { glutLeaveMainLoop(); }
void fullScreenWithGlut() { glutFullScreen(); }
void windowedWithGlut(int width, int height) {
    glutReshapeWindow(width, height);
    glutPositionWindow(0, 0);
}
WindowActions windowActions = {leaveWithGlut, fullScreenWithGlut, windowedWithGlut};

// Esc saves and quits. When the save fails (a full disk) the session's edits would be lost, so
// the game plays on and says why; an Esc while that is still shown quits without saving.
void escapeKey() {
    for (const std::string& shown : visibleMessages()) {
        if (shown.size() >= kQuitUnsavedHint.size() &&
            shown.compare(shown.size() - kQuitUnsavedHint.size(), kQuitUnsavedHint.size(),
                          kQuitUnsavedHint) == 0) {
            windowActions.leaveMainLoop();
            return;
        }
    }
    const MapSaveResult result = saveMap();  // says why on standard error when it fails
    if (result.saved) {
        windowActions.leaveMainLoop();  // the loop only ends once this callback returns
    } else {
        showMessage("Map not saved: " + result.failure + kQuitUnsavedHint);
    }
}

void toggleFullScreen() {
    fullscreen = !fullscreen;
    if (fullscreen) {
        windowActions.enterFullScreen();
    } else {
        const Vec2f view = viewSize();
        windowActions.leaveFullScreen(static_cast<int>(view.x), static_cast<int>(view.y));
    }
}

void spawnFlickerAtRandom() {
    const float first = randomRange(-kFlickerRange, kFlickerRange);  // becomes y
    const float second = randomRange(-kFlickerRange, kFlickerRange);
    if (Texture* light = findTexture("light1.png")) spawnFlicker(*light, second, first, 0.0f, true, 0);
}

void spawnBloomBursts() {
    Texture* bloom = findTexture("bloomtest.png");
    for (int i = 0; i < kBurstsPerZ; ++i) {
        const float y = kBurstMargin + randomFraction() * kBurstSpanY;  // drawn first
        const float x = kBurstMargin + randomFraction() * kBurstSpanX;
        if (bloom) spawnBurst(*bloom, x, y, 0.0f);
    }
}
}  // namespace

void setWindowActions(const WindowActions& actions) { windowActions = actions; }

void onKeyDown(unsigned char key, int, int) {
    pressKey(key);
    switch (key) {
        case 27: escapeKey(); break;
        case '1': dropCar(); break;
        case '3': addDefaultQuadAsEdit(); break;
        case '4': editorMouseUp(); break;
        case '5': editorKey(true); break;
        case '6': editorKey(false); break;
        case '7':
        case '8': reloadKey(); break;
        case '9': saveKey(); break;
        case 'F':
        case 'f': toggleFullScreen(); break;
        case 'p': spawnFlickerAtRandom(); break;
        case 'z': spawnBloomBursts(); break;
        // Keys that did nothing before: help, the sandbox and map-edit history.
        case 'h': toggleHelpPanel(); break;
        case 8:    // Backspace
        case 127:  // Delete
            deleteKey();
            break;
        case 26: undoKey(); break;  // Ctrl+Z
        case 25: redoKey(); break;  // Ctrl+Y
        case 'n': addAtMouseKey(); break;
        case '0': pauseKey(); break;
        case '.': singleStepKey(); break;
        case 'c': clearKey(); break;
        default: break;
    }
}

void onKeyUp(unsigned char key, int, int) { releaseKey(key); }

void onMouseButton(int button, int state, int, int) {
    if (button != kLeftButton) return;
    if (state == kButtonDown) {
        editorMouseDown(mouseWorld);
    } else {
        editorMouseUp();
    }
}

void onMouseMove(int x, int y) {
    const Vec2f world = screenToWorld(static_cast<float>(x), static_cast<float>(y));
    const Vec2f delta = {world.x - mouseWorld.x, world.y - mouseWorld.y};
    mouseWorld = world;
    editorDrag(delta);
}
