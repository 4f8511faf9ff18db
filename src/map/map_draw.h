// map_draw.h: the map quads, textured, with an outline on the selected ones and, while the
// editor is on, handles on their corners.
#pragma once

struct MapQuad;

void drawMap();
void drawQuad(const MapQuad& quad);
