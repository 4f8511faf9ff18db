// frame_drawing.h: draws one complete frame in its fixed layer order and presents it.
#pragma once
#include <string>

// Draws the whole frame into the back buffer and swaps; needs the game's GL context.
void renderFrame();
// The same frame with the lightmap texture as the last frame left it and the queued lights
// emptied undrawn: the same pixels when those lights, the view and the map are the ones it was
// rendered from, for a fraction of the time with many lights.
void renderFrameKeepingLightmap();
// Whether GL is at rest between frames: model-view matrix mode, both matrix stacks at depth 1,
// no GL error pending. False otherwise, with what is wrong in why, each fault as " ...;". Needs
// the game's GL context.
bool glAtRest(std::string& why);
