// script_state.cpp: the script layer's resets.
#include "script/script_state.h"

#include "game/game_state.h"
#include "game/level_script.h"

void resetScriptState() { uninstallScriptHooks(); }

void resetLayersFromScript(bool glContextCurrent) {
    resetScriptState();
    resetLayersFromGame(glContextCurrent);
}
