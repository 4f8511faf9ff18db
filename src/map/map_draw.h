// map_draw.h: the map quads, textured, with an outline on the selected ones.
#pragma once

struct MapQuad;

void drawMap();
void drawQuad(const MapQuad& quad);
