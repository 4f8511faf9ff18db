// map_draw.h: the map quads, textured, with an outline on the selected ones, and the handles
// on their corners while the editor is on.
#pragma once
#include <cstdint>

struct MapQuad;

void drawMap();  // every quad in list order, in world coordinates; GL context required
int32_t drawnQuadCount();  // how many quads the last drawMap found in view and drew
// One quad with its texture (and its outline when selected); the caller enables texturing and
// the vertex and texture-coordinate arrays.
void drawQuad(const MapQuad& quad);
// While the editor is on, small squares on the corners of the selected quads, where a corner can
// be grabbed; drawn over the lighting so they show in the dark too. Nothing else is drawn.
void drawCornerHandles();
