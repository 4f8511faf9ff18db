// level_script.cpp: when the game reads map.lua and when it calls the installed script hooks.
#include "game/level_script.h"

#include <string>
#include <utility>

#include "game/host.h"
#include "game/messages.h"
#include "game/sandbox.h"

namespace {
// Logic steps between two looks at map.lua: half a second, so a change shows within one.
constexpr int32_t kWatchSteps = 50;

struct LevelScriptState {
    bool installed = false;
    ScriptHooks hooks{};
    bool present = false;          // map.lua was there at the last look
    std::vector<uint8_t> source;   // what it held then
    int32_t stepsToWatch = kWatchSteps;
};
LevelScriptState level;

// Reads map.lua; true when what it holds differs from the last look.
bool lookAtScript() {
    std::vector<uint8_t> bytes;
    const bool present = host().readScript && host().readScript(bytes);
    const bool changed = present != level.present || bytes != level.source;
    level.present = present;
    level.source = std::move(bytes);
    return changed;
}

// False when a changed map.lua did not compile and the running script stays.
bool runSource(bool hot) {
    if (level.present) return level.hooks.load(level.source, hot);
    level.hooks.unload();
    return true;
}
}  // namespace

void installScriptHooks(const ScriptHooks& hooks) {
    level.installed = true;
    level.hooks = hooks;
}

void uninstallScriptHooks() {
    if (level.installed) level.hooks.unload();
    level = LevelScriptState();
}

bool scriptHooksInstalled() { return level.installed; }

void loadLevelScript() {
    if (!level.installed) return;
    lookAtScript();
    level.stepsToWatch = kWatchSteps;
    runSource(false);
}

void watchLevelScript() {
    if (!level.installed || --level.stepsToWatch > 0) return;
    level.stepsToWatch = kWatchSteps;
    if (!lookAtScript()) return;
    if (runSource(true) && level.present) showMessage(std::string("Reloaded ") + kScriptFileName);
}

void stepLevelScript() {
    if (level.installed) level.hooks.step();
}

void levelScriptKey(const char* name, bool down) {
    if (level.installed && name) level.hooks.key(name, down);
}

void levelScriptClick(Vec2f world) {
    if (level.installed) level.hooks.click(world);
}

void hashLevelScript(StateHasher& h) {
    if (level.installed) level.hooks.hash(h);
}

void resetLevelScript() {
    if (level.installed) level.hooks.unload();
    level.present = false;
    level.source.clear();
    level.stepsToWatch = kWatchSteps;
}
