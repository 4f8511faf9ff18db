// level_overlay.h: what a level puts on the screen beyond its world: its labels, the line of a
// stopped script, the editor's coordinates and the finish card.
#pragma once
#include <string>

// Draws the level's labels (screen ones in view units, stretched with the window as the HUD is;
// world ones following the camera), the stopped script's line at the top-left under the
// counters, the cursor's world position and the selection's box at the bottom-right while the
// editor is on and the pointer is over the window, and the finish card once the level is
// finished. With none of them it makes no GL call. Needs the game's GL context.
void drawLevelOverlay();
// The editor's readout of the cursor and the selection shows while a level is being made: a
// level folder given with --level, or a level script loaded; never in the plain sandbox, whose
// picture stays as it always was.
void showEditorReadoutForLevel(bool shown);
// The keys the finish card names, for a game started from the level picker (where Esc goes back
// and n goes on); the plain game's until the next reset.
void setFinishCardKeys(const std::string& line);
// No readout asked for, no finish noted, the plain game's keys: as at start.
void resetLevelOverlay();

