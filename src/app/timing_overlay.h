// timing_overlay.h: the timing overlay (i): the last second's mean and maximum of each measured
// part, a graph of the latest frame times and what the world and the frame held.
#pragma once

// At the start of a frame, before anything of the scene is drawn: renews the overlay's text once
// a second, using the back buffer's top-right corner. Needs the game's GL context.
void prepareTimingOverlay();
// Draws at the top-left, under the HUD numbers, in window pixels; makes no GL call when the
// window has no size yet. Needs the game's GL context.
void drawTimingOverlay();
// Frees the overlay's texture while the context still exists.
void releaseTimingOverlay();
