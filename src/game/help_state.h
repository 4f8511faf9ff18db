// help_state.h: whether the help panel is shown, and the sandbox's state in the words it shows.
#pragma once
#include <string>
#include <vector>

#include "game/sandbox.h"

bool helpPanelShown();  // off at start
void toggleHelpPanel();
void hideHelpPanel();   // a new game starts without it

// The panel's status lines for these counts and switches: editor, simulation, counts, and what
// the two HUD numbers are.
std::vector<std::string> helpStatusLines(const SandboxCounts& counts, bool editorOn, bool paused);
