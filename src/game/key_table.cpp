// key_table.cpp: the keys, their actions and their help lines.
#include "game/key_table.h"

#include <array>
#include <cassert>
#include <iostream>
#include <cstring>
#include <string>

#include "game/edit_feedback.h"
#include "game/help_state.h"
#include "game/messages.h"
#include "game/overlay_switches.h"
#include "game/sandbox_keys.h"
#include "map/map_commands.h"
#include "map/map_editor.h"
#include "map/quad_lines.h"
#include "game/sandbox.h"

namespace {
constexpr unsigned char kEsc = 27, kBackspace = 8, kDelete = 127, kCtrlZ = 26, kCtrlY = 25;
constexpr unsigned char kCtrlC = 3, kCtrlV = 22, kCtrlD = 4, kCtrlL = 12;
constexpr unsigned char kHomeKey = 106;  // the window system's code for Home, a special key

void editorOnKey() { editorKey(true); }
void editorOffKey() { editorKey(false); }
void addDefaultQuadKey() { addDefaultQuadAsEdit(); }
// Ctrl+L: the selected quads as Lua table lines on standard output, for a level's script.
void printQuadsKey() {
    if (!editorEnabled()) {
        showMessage("Editor is off: 5 turns it on");
        return;
    }
    const std::vector<std::string> lines = selectedQuadsAsLua();
    if (lines.empty()) {
        showMessage("Nothing selected: click a quad first");
        return;
    }
    for (const std::string& line : lines) std::cout << line << std::endl;
    showMessage("Printed " + std::to_string(lines.size()) + (lines.size() == 1 ? " quad" : " quads") +
                " as Lua lines");
}
void endDragKey() {
    editorMouseUp();
    reportRefusedEdit();  // a snap that would fold the quad says so, as a release does
}

const std::vector<KeyRow> kRows = {
    {HelpColumn::Play, "w a s d", "scroll, or drive the car", {}},
    {HelpColumn::Play, "space", "hold: crates at the mouse", {}},
    {HelpColumn::Play, "1", "drop a car", {{'1', dropCarKey}}},
    {HelpColumn::Play, "z / p", "bloom bursts / a flicker", {{'z', burstsKey}, {'p', flickerKey}}},
    {HelpColumn::Play, "0", "pause or resume", {{'0', pauseKey}}},
    {HelpColumn::Play, ".", "one step while paused", {{'.', singleStepKey}}},
    {HelpColumn::Play, "m", "sound off / on", {{'m', muteKey}}},
    {HelpColumn::Play, "c", "clear crates, cars, rockets", {{'c', clearKey}}},
    {HelpColumn::Play, "right drag", "grab a body; let go to throw", {}},
    {HelpColumn::Play, "b", "physics overlay on / off", {{'b', physicsOverlayKey}}},
    {HelpColumn::Play, "i", "timing overlay on / off", {{'i', timingOverlayKey}}},
    {HelpColumn::Play, "r", "restart the level", {{'r', restartKey}}},
    {HelpColumn::Play, "f", "full screen", {{'F', fullScreenKey}, {'f', fullScreenKey}}},
    {HelpColumn::Play, "wheel", "zoom about the mouse", {}},
    {HelpColumn::Play, "middle drag", "pan the view", {}},
    {HelpColumn::Play, "Home", "back to the start view", {{kHomeKey, homeKey, true}}},
    {HelpColumn::Play, "h", "this help on / off", {{'h', toggleHelpPanel}}},
    {HelpColumn::Play, "Esc", "save the map and quit", {{kEsc, quitKey}}},
    {HelpColumn::Edit, "click", "select the quads under it", {}},
    {HelpColumn::Edit, "click again", "grab a corner or the quad", {}},
    {HelpColumn::Edit, "drag", "move what you grabbed", {}},
    {HelpColumn::Edit, "release / 4", "snap to the 8-unit grid", {{'4', endDragKey}}},
    {HelpColumn::Edit, "g", "grid on / off", {{'g', gridKey}}},
    {HelpColumn::Edit, "Shift+drag", "select with a band", {}},
    {HelpColumn::Edit, "Shift+click", "add or drop one quad", {}},
    {HelpColumn::Edit, "Ctrl+C / V", "copy / paste at the mouse",
     {{kCtrlC, copyKey}, {kCtrlV, pasteKey}}},
    {HelpColumn::Edit, "Ctrl+D", "duplicate one step over", {{kCtrlD, duplicateKey}}},
    {HelpColumn::Edit, "Ctrl+L", "print selected quads as Lua", {{kCtrlL, printQuadsKey}}},
    {HelpColumn::Edit, "3 / n", "add a square / at the mouse",
     {{'3', addDefaultQuadKey}, {'n', addAtMouseKey}}},
    {HelpColumn::Edit, "Del Bksp", "delete the selected quads",
     {{kDelete, deleteKey}, {kBackspace, deleteKey}}},
    {HelpColumn::Edit, "Ctrl+Z / Y", "undo / redo map edits", {{kCtrlZ, undoKey}, {kCtrlY, redoKey}}},
    {HelpColumn::Edit, "5 / 6", "editor on / off", {{'5', editorOnKey}, {'6', editorOffKey}}},
    {HelpColumn::Edit, "7 / 8", "reload map.txt", {{'7', reloadKey}, {'8', reloadKey}}},
    {HelpColumn::Edit, "9", "save map.txt", {{'9', saveKey}}},
};

using Dispatch = std::array<void (*)(), 256>;

Dispatch buildDispatch(bool special) {
    Dispatch dispatch{};
    for (const KeyRow& row : kRows) {
        for (const KeyAction& action : row.actions) {
            if (action.special != special) continue;
            assert(!dispatch[action.key] && "a key bound twice");
            dispatch[action.key] = action.run;
        }
    }
    return dispatch;
}

bool run(const Dispatch& dispatch, int key) {
    if (key < 0 || key > 255 || !dispatch[static_cast<size_t>(key)]) return false;
    dispatch[static_cast<size_t>(key)]();
    return true;
}
}  // namespace

const std::vector<KeyRow>& keyRows() { return kRows; }

bool runKeyAction(unsigned char key) {
    static const Dispatch dispatch = buildDispatch(false);
    return run(dispatch, key);
}

bool runSpecialKeyAction(int key) {
    static const Dispatch dispatch = buildDispatch(true);
    return run(dispatch, key);
}

bool hasKeyAction(unsigned char key) {
    static const Dispatch dispatch = buildDispatch(false);
    return dispatch[key] != nullptr;
}

namespace {
struct NamedKey {
    int code;
    const char* name;
};
constexpr NamedKey kNamedCharacters[] = {
    {' ', "space"}, {'\r', "return"}, {'\t', "tab"}, {'\b', "backspace"}, {127, "delete"}, {27, "escape"}};
// The window system's codes of the keys without a character.
constexpr NamedKey kNamedSpecials[] = {
    {1, "f1"},     {2, "f2"},     {3, "f3"},    {4, "f4"},     {5, "f5"},        {6, "f6"},
    {7, "f7"},     {8, "f8"},     {9, "f9"},    {10, "f10"},   {11, "f11"},      {12, "f12"},
    {100, "left"}, {101, "up"},   {102, "right"}, {103, "down"}, {104, "pageup"}, {105, "pagedown"},
    {106, "home"}, {107, "end"},  {108, "insert"}};

// Every printable character's one-letter name, made once.
const char* characterName(unsigned char key) {
    static const auto names = [] {
        std::vector<std::string> all(128);
        for (int c = 33; c < 127; ++c) all[static_cast<size_t>(c)] = std::string(1, static_cast<char>(c));
        return all;
    }();
    return key > 32 && key < 127 ? names[key].c_str() : nullptr;
}
}  // namespace

const char* keyName(unsigned char key) {
    for (const NamedKey& named : kNamedCharacters)
        if (named.code == key) return named.name;
    return characterName(key);
}

const char* specialKeyName(int key) {
    for (const NamedKey& named : kNamedSpecials)
        if (named.code == key) return named.name;
    return nullptr;
}

int keyCodeOf(const char* name) {
    for (const NamedKey& named : kNamedCharacters)
        if (std::strcmp(named.name, name) == 0) return named.code;
    if (name[0] > 32 && name[0] < 127 && name[1] == '\0') return static_cast<unsigned char>(name[0]);
    return -1;
}

bool knownKeyName(const char* name) {
    if (keyCodeOf(name) >= 0) return true;
    for (const NamedKey& named : kNamedSpecials)
        if (std::strcmp(named.name, name) == 0) return true;
    return false;
}
