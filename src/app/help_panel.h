// help_panel.h: the help panel (h) and the feedback messages, drawn in window pixels over the HUD.
#pragma once
#include <string>
#include <vector>

#include "app/sandbox.h"

bool helpPanelShown();  // off at start
void toggleHelpPanel();

// The panel's status lines for these counts and switches: editor, simulation, counts, and what
// the two HUD numbers are.
std::vector<std::string> helpStatusLines(const SandboxCounts& counts, bool editorOn, bool paused);

// Draws the panel when shown and the visible messages at the top-right; with neither it makes no
// GL call at all, so the frame stays as it was. Needs the game's GL context.
void drawHelpOverlay();
