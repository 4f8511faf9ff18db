// timing_overlay.h: the timing overlay (i): the last second's mean and maximum of each measured
// part, a graph of the latest frame times and what the world and the frame held.
#pragma once

// Draws at the top-left, under the HUD numbers, in window pixels; makes no GL call when the
// window has no size yet. Needs the game's GL context.
void drawTimingOverlay();
