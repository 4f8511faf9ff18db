// input.cpp: the mouse position and what keys, buttons and window events do.
#include "game/input.h"

#include "core/camera.h"
#include "core/keyboard.h"
#include "core/state_hasher.h"
#include "game/edit_feedback.h"
#include "game/grab.h"
#include "game/host.h"
#include "game/key_table.h"
#include "game/step_commands.h"
#include "game/view_control.h"
#include "game/level_presentation.h"
#include "game/level_script.h"
#include "game/redraw_decision.h"
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

static_assert(kKeyboardPlayers == kPlayerSlots, "every player holds keys of their own");

struct InputState {
    // Each player's cursor, world units: player 0's is this window's mouse when playing alone.
    Vec2f cursors[kPlayerSlots];
    uint8_t acting = 0;  // the player whose command is being applied; 0 between commands
    Vec2f spawnPoint;
    bool fullScreen = false;
    int modifiers = 0;
    bool panning = false;  // the middle button is down: the view follows the cursor
    Vec2f panAnchor;       // the world point the middle press grabbed
};
InputState input;

// The cursor of the player acting now.
Vec2f& cursor() { return input.cursors[input.acting]; }

// A held key is the acting player's own; any other key is one table for all, as the level script
// reads it.
void holdKey(unsigned char key) {
    if (heldKey(key)) {
        pressPlayerKey(input.acting, key);
    } else {
        pressKey(key);
    }
}
void letGoOfKey(unsigned char key) {
    if (heldKey(key)) {
        releasePlayerKey(input.acting, key);
    } else {
        releaseKey(key);
    }
}

// The editor's handles keep their size on screen, so their reach in world units follows the view.
void tellEditorTheView() {
    const Vec2f window = windowSize(), view = viewSize();
    if (window.x > 0.0f && zoom().x > 0.0f) setEditorPixelSize(view.x / window.x / zoom().x);
}

// pixelSize 0: the editor is told this window's view.
void onLeftButton(int state, float pixelSize) {
    if (pixelSize > 0.0f) {
        setEditorPixelSize(pixelSize);
    } else {
        tellEditorTheView();
    }
    if (state != kButtonDown) {
        editorMouseUp();
    } else if ((input.modifiers & kShiftModifier) != 0) {
        editorShiftPress(cursor());
    } else {
        editorMouseDown(cursor());
    }
    reportRefusedEdit();
}
}  // namespace

void onModifiers(int modifiers) { input.modifiers = modifiers; }
int heldModifiers() { return input.modifiers; }

Vec2f mouseWorld() { return input.cursors[0]; }
Vec2f playerCursor(uint8_t player) { return player < kPlayerSlots ? input.cursors[player] : Vec2f(); }
uint8_t actingPlayer() { return input.acting; }
Vec2f actingCursor() { return cursor(); }

void hashOtherPlayers(StateHasher& h) {
    for (uint8_t player = 1; player < kPlayerSlots; ++player) {
        const Vec2f at = input.cursors[player];
        bool holding = false;
        for (unsigned char key : kHeldKeys) holding = holding || isPlayerKeyDown(player, key) != 0;
        if (!holding && at.x == 0.0f && at.y == 0.0f) continue;
        h.add(player);
        for (unsigned char key : kHeldKeys) h.add(static_cast<uint8_t>(isPlayerKeyDown(player, key)));
        h.add(at);
    }
}
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

namespace {
// Keys that change only what this player sees or hears: they act at once and never become
// commands, so a shared session's peers each keep their own.
constexpr unsigned char kViewKeys[] = {'h', 'b', 'i', 'm', 'f', 'F', 'g'};
constexpr int kHomeSpecialKey = 106;
// Keys that load map.txt and map.lua: their commands carry the bytes read when they were made.
constexpr unsigned char kLoadingKeys[] = {'7', '8', 'r'};

bool isOneOf(unsigned char key, const unsigned char* keys, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (keys[i] == key) return true;
    return false;
}
bool viewKey(unsigned char key) { return isOneOf(key, kViewKeys, sizeof kViewKeys); }
bool loadingKey(unsigned char key) { return isOneOf(key, kLoadingKeys, sizeof kLoadingKeys); }

// The view's share of the editor: its handles keep their size on screen.
float editorPixelSizeNow() {
    const Vec2f window = windowSize(), view = viewSize();
    return window.x > 0.0f && zoom().x > 0.0f ? view.x / window.x / zoom().x : 0.0f;
}

void attachFiles(StepCommand& command) {
    std::vector<uint8_t> bytes;
    command.map = readMapFromDisk(bytes, command.mapProblem) ? AttachedFile::Bytes : AttachedFile::Missing;
    command.mapBytes = bytes;
    command.script = readScriptFromDisk(bytes) ? AttachedFile::Bytes : AttachedFile::Missing;
    command.scriptBytes = bytes;
    // Beyond what a command may carry: loaded as missing, here as everywhere else.
    if (command.mapBytes.size() > kMaxAttachedBytes) command.map = AttachedFile::Missing;
    if (command.scriptBytes.size() > kMaxAttachedBytes) command.script = AttachedFile::Missing;
    if (command.map != AttachedFile::Bytes) command.mapBytes.clear();
    if (command.script != AttachedFile::Bytes) command.scriptBytes.clear();
}

// The bytes of the command being applied, handed to the game's loads in place of the disk.
struct Attached {
    const StepCommand* command = nullptr;
};
Attached attached;

bool attachedMap(std::vector<uint8_t>& bytes, std::string& why) {
    why = attached.command->mapProblem;
    bytes = attached.command->mapBytes;
    return attached.command->map == AttachedFile::Bytes;
}
bool attachedScript(std::vector<uint8_t>& bytes) {
    bytes = attached.command->scriptBytes;
    return attached.command->script == AttachedFile::Bytes;
}

void applyKeyDown(unsigned char key) {
    holdKey(key);
    if (!runKeyAction(key) && !heldKey(key)) levelScriptKey(keyName(key), true);
}

// A release the game has no action for is the level script's too.
void applyKeyUp(unsigned char key) {
    letGoOfKey(key);
    if (!hasKeyAction(key) && !heldKey(key)) levelScriptKey(keyName(key), false);
}

void applySpecialKey(int key) {
    if (!runSpecialKeyAction(key)) levelScriptKey(specialKeyName(key), true);
}

void applyButton(int button, int state, float pixelSize) {
    if (button == kRightButton) {
        // Whether the editor is on or off: the editor has only the left button.
        if (state == kButtonDown) {
            // A press that takes no body is the level script's click.
            if (!levelAllows().grab || !grabBodyAt(cursor(), input.acting)) levelScriptClick(cursor());
        } else {
            releaseGrab(input.acting);
        }
    } else if (button == kLeftButton) {
        onLeftButton(state, pixelSize);
    }
}

// pixelSize 0: the editor is told this window's view instead.
void applyPointer(Vec2f world, float pixelSize) {
    const Vec2f delta = {world.x - cursor().x, world.y - cursor().y};
    cursor() = world;
    moveGrabTarget(world, input.acting);
    editorDrag(delta);
    // The hover's handles keep their size on screen after a resize too.
    if (pixelSize > 0.0f) {
        setEditorPixelSize(pixelSize);
    } else {
        tellEditorTheView();
    }
    editorPointer(world);
    reportRefusedEdit();
}

// The command for an event of this program's own window, unless it only replays.
void submitFromWindow(const StepCommand& command) {
    if (inputTiming() == InputTiming::NextStep) submitCommand(command);
}

void applyPlayerCommand(const StepCommand& command) {
    switch (command.kind) {
        case StepCommand::Kind::KeyDown: {
            const auto key = static_cast<unsigned char>(command.code);
            if (command.map == AttachedFile::None && command.script == AttachedFile::None) {
                applyKeyDown(key);
                break;
            }
            Host loads = host();
            loads.readMap = attachedMap;
            loads.readScript = attachedScript;
            attached.command = &command;
            {
                const ScopedHost fromCommand(loads);
                applyKeyDown(key);
            }
            attached.command = nullptr;
            break;
        }
        case StepCommand::Kind::KeyUp: applyKeyUp(static_cast<unsigned char>(command.code)); break;
        case StepCommand::Kind::SpecialKey: applySpecialKey(command.code); break;
        case StepCommand::Kind::Button:
            input.modifiers = command.modifiers;
            applyButton(command.code, command.state, command.pixelSize);
            break;
        case StepCommand::Kind::Pointer:
            if (command.state == 1) {
                cursor() = command.world;  // placed under a panning view: nothing dragged
            } else {
                applyPointer(command.world, command.pixelSize);
            }
            break;
    }
}
}  // namespace

void applyStepCommand(const StepCommand& command) {
    // A player outside the room has no seat to act from (only a damaged recording names one).
    if (command.player >= kPlayerSlots) return;
    const uint8_t before = input.acting;
    input.acting = command.player;
    applyPlayerCommand(command);
    input.acting = before;
}

void onKeyDown(unsigned char key, int, int) {
    inputArrived();
    if (inputTiming() == InputTiming::AtOnce) {
        applyKeyDown(key);
    } else if (viewKey(key)) {
        runKeyAction(key);
    } else {
        StepCommand command;
        command.kind = StepCommand::Kind::KeyDown;
        command.code = key;
        if (loadingKey(key) && inputTiming() == InputTiming::NextStep) attachFiles(command);
        submitFromWindow(command);
    }
}

void onKeyUp(unsigned char key, int, int) {
    inputArrived();
    if (inputTiming() == InputTiming::AtOnce) {
        applyKeyUp(key);
    } else if (!viewKey(key)) {
        StepCommand command;
        command.kind = StepCommand::Kind::KeyUp;
        command.code = key;
        submitFromWindow(command);
    }
}

void onSpecialKey(int key, int, int) {
    inputArrived();
    if (key == kHomeSpecialKey) {
        runSpecialKeyAction(key);
    } else if (inputTiming() == InputTiming::AtOnce) {
        applySpecialKey(key);
    } else if (key >= 0 && key <= 255) {
        StepCommand command;
        command.kind = StepCommand::Kind::SpecialKey;
        command.code = key;
        submitFromWindow(command);
    }
}

void onMouseButton(int button, int state, int x, int y) {
    inputArrived();
    const auto px = static_cast<float>(x), py = static_cast<float>(y);
    if (button == kMiddleButton) {
        input.panning = state == kButtonDown;
        if (input.panning) input.panAnchor = screenToWorld(px, py);
    } else if ((button == kWheelUp || button == kWheelDown) && state == kButtonDown) {
        // The world point under the cursor stays put, so mouseWorld stays right as it is.
        zoomViewAbout(button == kWheelUp ? 1 : -1, px, py);
        tellEditorTheView();
    } else if (inputTiming() == InputTiming::AtOnce) {
        applyButton(button, state, 0.0f);
    } else if (button == kLeftButton || button == kRightButton) {
        StepCommand command;
        command.kind = StepCommand::Kind::Button;
        command.code = button;
        command.state = state == kButtonDown ? 0 : 1;
        command.modifiers = input.modifiers;
        command.pixelSize = editorPixelSizeNow();
        submitFromWindow(command);
    }
}

void onMouseMove(int x, int y) {
    inputArrived();
    const bool atOnce = inputTiming() == InputTiming::AtOnce;
    StepCommand command;
    command.kind = StepCommand::Kind::Pointer;
    command.pixelSize = editorPixelSizeNow();
    if (input.panning) {
        // The grabbed point stays under the cursor: the cursor's world position does not change,
        // so nothing is dragged.
        panViewToHold(input.panAnchor, static_cast<float>(x), static_cast<float>(y));
        if (atOnce) {
            input.cursors[0] = input.panAnchor;
        } else {
            command.state = 1;
            command.world = input.panAnchor;
            submitFromWindow(command);
        }
        return;
    }
    const Vec2f world = screenToWorld(static_cast<float>(x), static_cast<float>(y));
    if (atOnce) {
        applyPointer(world, 0.0f);
    } else {
        command.world = world;
        submitFromWindow(command);
    }
}

void onReshape(int width, int height) {
    setWindowSize(static_cast<float>(width), static_cast<float>(height));
    host().window.setViewport(width, height);
    pictureLost();  // a window of the same size again (back from full screen) needs it too
}
