// map_draw.h: the map quads, textured, with an outline on the selected ones.
#pragma once

struct MapQuad;

void drawMap();  // every quad in list order, in world coordinates; GL context required
// One quad with its texture (and its outline when selected); the caller enables texturing and
// the vertex and texture-coordinate arrays.
void drawQuad(const MapQuad& quad);
