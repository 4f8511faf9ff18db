// shadow_quad.h: the hard shadow a map quad throws away from a point light (no GL).
#pragma once
#include <cstdint>
#include <vector>

#include "core/vec2.h"

struct MapQuad;

// Low silhouette corner, its extrusion, the high corner's extrusion, the high corner;
// integer world units.
struct ShadowQuad {
    int32_t points[8] = {};
};

// light in world units; corners beyond the int32 range pin to its ends.
ShadowQuad buildShadowQuad(const MapQuad& quad, Vec2f light);
// True when every corner (world units), and every shadow point extruded from it in any
// direction, converts to int32 as it stands instead of pinning at the range's ends.
bool shadowGeometryInRange(const Vec2f corners[4]);

// A quad casts for a light when its centre is less than 700 world units from it.
bool castsShadow(const MapQuad& quad, Vec2f light);
// Indices into mapQuads() of the quads that cast for the light, in list order. out is cleared
// first and keeps its capacity, so a reused vector stops allocating.
void collectCastingQuads(Vec2f light, std::vector<int32_t>& out);

// Vertices of one light, (x, y) int pairs handed to GL as they stand: the light quad at vertex
// 0, the k-th caster's shadow quad (k from 1) at vertex 4k and a copy of its corners at
// vertex half + 4k. The map quads come first; each edge of a queued outline then counts as one
// caster: the edge's shadow, and the triangle from the outline's centre to the edge (a quad
// with its last corner doubled). Holds 186 casters at first and grows when a light has more; it never
// shrinks, so once large enough, rebuilding it allocates nothing.
struct LightVertices {
    std::vector<int32_t> coords = std::vector<int32_t>(2 * 2 * 750);
    int32_t half = 750;       // vertices per half
    int32_t casterCount = 0;  // quads that cast for the light built last
    std::vector<int32_t> casting;  // scratch list of their indices
    std::vector<uint32_t> castingOutlines;  // scratch list of the queued outlines that cast
};

// Indices into queuedCasters() of the outlines that cast for the light, in queue order: those
// whose centre (the mean of the corners) is as near as a casting quad's must be, and that do
// not hold the light (a body lit from inside throws no shadow of itself). out is cleared first.
void collectCastingOutlines(Vec2f light, std::vector<uint32_t>& out);

// Rebuilds the buffer for a light at `light` whose quad (relative to the light) is the 4
// corners in lightQuad.
void buildLightVertices(LightVertices& buffer, const int32_t lightQuad[8], Vec2f light);
