// map_draw.h: the map quads, textured, with an outline on the selected ones, and the handles
// on their corners while the editor is on.
#pragma once
#include <cstdint>

#include "core/vec2.h"

struct MapQuad;

void drawMap();  // every quad in list order, in world coordinates; GL context required
int32_t drawnQuadCount();  // how many quads the last drawMap found in view and drew
// One quad with its texture (and its outline when selected); the caller enables texturing and
// the vertex and texture-coordinate arrays.
void drawQuad(const MapQuad& quad);
// While the editor is on, small squares on the corners of the selected quads, where a corner can
// be grabbed; drawn over the lighting so they show in the dark too. What a press at the cursor
// would grab shows here as well: that corner's handle filled, or the whole outline brightened.
// Nothing else is drawn.
void drawCornerHandles();
// Every quad in view as a plain untextured shape, in list order, for masks (stencil or colour
// writes as the caller has set them); textures and client arrays stay off afterwards.
void drawMapShapes();
// The rubber band of a Shift drag, while one is drawn; nothing otherwise.
void drawRubberBand();
// The outline a refused drag kept, in a warning colour (world units).
void drawRefusedOutline(const Vec2f corners[4]);
