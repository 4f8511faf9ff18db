// help_panel_drawing.h: the help panel (h) and the feedback messages, drawn in window pixels over the HUD.
#pragma once

// Draws the panel when shown and the visible messages at the top-right; with neither it makes no
// GL call at all, so the frame stays as it was. Needs the game's GL context.
void drawHelpOverlay();
