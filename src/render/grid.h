// grid.h: a faint world-locked grid over the whole view, drawn in world coordinates.
#pragma once

// Lines every step world units, stronger ones every majorStep; minor lines that would crowd
// closer than a few pixels are left out, and major ones thin out by eights the same way.
// Expects the world transform and the frame's drawing state (blending on, colour white).
void drawGrid(float step, float majorStep);
