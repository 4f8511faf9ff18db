// level_script.h: the seam through which the game runs a level's script (map.lua) without
// knowing the language: the scripting layer above installs its hooks, the game calls them at
// fixed points of its start-up, reloads and logic step. Without hooks nothing is read or run.
#pragma once
#include <cstdint>
#include <vector>

#include "core/state_hasher.h"
#include "core/vec2.h"

constexpr const char* kScriptFileName = "map.lua";

struct ScriptHooks {
    // Runs source in a fresh script (the old one and what it made go first) and calls its
    // on_start. hot: map.lua changed while the game ran, so a source that does not compile
    // leaves the running script as it is (false), and the old script may carry a table to the
    // new.
    bool (*load)(const std::vector<uint8_t>& source, bool hot);
    void (*unload)();  // no script any more
    void (*step)();    // one running logic step: timers, then on_step
    // A key the game itself does not use, by name ("x", "return", "left"), pressed or released;
    // and a right-button press at a world position.
    void (*key)(const char* name, bool down);
    void (*click)(Vec2f world);
    // Adds the running script's own state (its timers and clock); nothing without a script.
    void (*hash)(StateHasher& h);
};

// Installs hooks for every later load, step and event; uninstall unloads first.
void installScriptHooks(const ScriptHooks& hooks);
void uninstallScriptHooks();
bool scriptHooksInstalled();

// After every map load: reads map.lua through the host and runs it, or unloads the script when
// there is none. Does nothing without hooks.
void loadLevelScript();
// Every updateStep, paused or not: about twice a second looks whether map.lua has changed and
// reloads it with the message "Reloaded map.lua".
void watchLevelScript();
void stepLevelScript();                // a running logic step
void levelScriptKey(const char* name, bool down);  // a key the game has no action for
void levelScriptClick(Vec2f world);
void hashLevelScript(StateHasher& h);
// The next game starts with no watch pending and no script source known.
void resetLevelScript();
