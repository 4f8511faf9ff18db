// script_state.cpp: the script layer's resets.
#include "script/script_state.h"

#include "game/game_state.h"
#include "game/level_script.h"
#include "script/lua_sandbox.h"

void resetScriptState() {
    uninstallScriptHooks();
    setScriptCpuGuard(true);
}

void resetLayersFromScript(bool glContextCurrent) {
    resetScriptState();
    resetLayersFromGame(glContextCurrent);
}
