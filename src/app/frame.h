// frame.h: draws one complete frame in its fixed layer order and presents it.
#pragma once

// Draws the whole frame into the back buffer and swaps; needs the game's GL context.
void renderFrame();
// Reshape callback: stores the window size (pixels) and sets the viewport to the whole window.
void onReshape(int width, int height);
