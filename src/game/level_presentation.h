// level_presentation.h: what a level's script puts before the player beyond the world itself:
// lasting labels, the keys it declares for the help panel, what it allows the player to do, and
// the line a stopped script leaves on screen. Plain records; the shell draws them. None of it is
// part of the state hash: it changes nothing the logic reads but the allowances, which the game
// applies as keys arrive.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct LevelLabel {
    std::string id;
    std::string text;
    float x = 0.0f, y = 0.0f;  // pixels from the window's top-left, or world units when world
    bool world = false;
    float size = 18.0f;          // pixels high
    uint32_t rgba = 0xffffffffu;
};

// Replaces the label with the same id, or adds it after the others.
void setLevelLabel(const LevelLabel& label);
void removeLevelLabel(const std::string& id);
const std::vector<LevelLabel>& levelLabels();  // in the order they were first set
// Bumped by every change to the labels, the keys, the allowances or the stopped line, so the
// shell knows when a frame must be drawn again.
uint32_t levelPresentationChanges();

struct LevelKey {
    std::string key;   // as the player presses it: "x", "left", "return"
    std::string what;  // "drop a weight"
};
void setLevelKeys(const std::vector<LevelKey>& keys);
const std::vector<LevelKey>& levelKeys();  // sorted by key

// What the player may do in this level; everything by default.
struct LevelAllows {
    bool grab = true;    // the right-button grab
    bool spawn = true;   // crates sprinkled with space
    bool editor = true;  // the map editor
    bool cars = true;    // cars dropped with 1
};
void setLevelAllows(const LevelAllows& allows);
const LevelAllows& levelAllows();

// "map.lua stopped: <the error>" while a failure keeps the script stopped; empty otherwise.
void setStoppedScriptLine(const std::string& line);
const std::string& stoppedScriptLine();

// Everything a script set goes: a script (re)loading, a restart, a new game.
void resetLevelPresentation();
