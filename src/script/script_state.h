// script_state.h: the script layer's module state back to where a new process starts: the
// game's script hooks taken out (the running script unloaded with them). Every layer has one such
// pair; the tests' resets call them, so the list of what a layer holds is written once.
#pragma once

void resetScriptState();
// This layer and every layer below it, the upper ones first.
void resetLayersFromScript(bool glContextCurrent);
