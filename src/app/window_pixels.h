// window_pixels.h: drawing in window pixels from the top-left corner, whatever the view, for
// panels and text that must read the same at any window size.
#pragma once
#include "core/vec2.h"

// Runs draw(window size) with a projection of the window's pixels, y down, and an identity
// model-view, then puts both matrices and the caller's matrix mode back. Does nothing while the
// window has no size. Needs the game's GL context.
void drawInWindowPixels(void (*draw)(Vec2f window));
