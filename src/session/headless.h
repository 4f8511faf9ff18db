// headless.h: the game's logic without a window, driven by a script of timed input events, for
// replays, determinism checks and fuzzing.
#pragma once
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

struct InputEvent {
    enum class Kind { KeyDown, KeyUp, Move, ButtonDown, ButtonUp };
    int32_t time = 0;  // ms after start-up
    Kind kind = Kind::KeyDown;
    int32_t a = 0, b = 0;  // key code, or cursor pixel (x, y), or mouse button
};

// The game's start-up without a window: a 1024 x 600 "window", sheets registered without
// images, the map loaded from map.txt in the current folder, a scripted clock at 0 ms.
void startHeadless();
// Frees everything startHeadless and the run made.
void stopHeadless();
// Runs passes at every millisecond up to endTime, delivering each event at its time. Frames only
// queue and discard sprites and lights. Returns false if Esc ended the run early.
bool replay(const std::vector<InputEvent>& events, int32_t endTime);
int32_t headlessTime();  // ms of the scripted clock

// One event a line: "<ms> key <code>", "<ms> keyup <code>", "<ms> move <x> <y>",
// "<ms> press <button>", "<ms> release <button>". Malformed lines are skipped.
std::vector<InputEvent> parseInputScript(std::istream& in);
