// scripting.h: level scripts in Lua, run through the game's script hooks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Installs the Lua runtime as the game's script hooks; every run that should play scripted
// levels (the window, headless runs, replays) calls it before startGame.
void installScripting();

// The running script, for tools and tests.
bool scriptRunning();        // loaded and not stopped by a failure
bool scriptStopped();        // a failure stopped it; nothing runs until the next load
int64_t scriptStepCount();   // logic steps since it was loaded
size_t scriptMemoryInUse();  // bytes its state holds; 0 without one
