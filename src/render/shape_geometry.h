// shape_geometry.h: the geometry behind drawing shapes with sheet frames: circles as polygons,
// points turned into the world, where a point of a body falls on its frame, box tiles and
// terrain bands. Pure arithmetic: no GL.
#pragma once
#include <cstdint>
#include <vector>

#include "core/vec2.h"

struct Texture;

// How many corners draw a circle of this radius (world units) smoothly: about one every 4
// units of rim, at least 16 and at most 96.
int32_t circleSegments(float radius);
// The corners of a circle of radius around the origin, segments of them in order of angle from
// +x toward +y; out is cleared first. Fewer than 3 segments give 3.
void circleCorners(float radius, int32_t segments, std::vector<Vec2f>& out);
// A point of a body's own frame in the world: turned by angle degrees (+x toward +y, as sprites
// turn), then moved to position.
Vec2f placeInWorld(Vec2f local, Vec2f position, float angle);

// A sheet frame as an affine map from (u, v), 0..1 across and down the frame as it shows on
// screen, to texture coordinates.
struct FrameMap {
    Vec2f origin;  // (s, t) at the frame's top-left corner
    Vec2f across;  // added from left to right
    Vec2f down;    // added from top to bottom
};
// The frame's map; false (and the map untouched) for a frame the sheet does not have.
bool frameMapOf(const Texture& sheet, int32_t frame, FrameMap& map);
Vec2f texCoordAt(const FrameMap& map, float u, float v);
// The texture coordinates of a body-frame point when the frame is stretched over the box from
// low to high (body-frame world units); a flat box maps to the frame's middle on that axis.
Vec2f texCoordInBox(const FrameMap& map, Vec2f point, Vec2f low, Vec2f high);
// The frame's width and height in pixels as its quad spans them; 0 for a missing frame.
void framePixels(const Texture& sheet, int32_t frame, int32_t& width, int32_t& height);
// How many tiles of a frame side pixels long cover length world units: the nearest whole
// number, at least 1 (one tile stretched or squeezed to the length) and at most 32.
int32_t tilesAlong(float length, int32_t side);

// The band under a chain of points (world units): for each segment, pieces of at most
// pieceLength along x, each the quad from the segment down (+y) by thickness, four corners
// clockwise on screen from the piece's upper left. A loop adds the closing segment. out is
// cleared first. Vertical sides make neighbouring pieces meet without a gap at any slope.
void chainBand(const std::vector<Vec2f>& points, bool loop, float thickness, float pieceLength,
               std::vector<Vec2f>& out);

// Whether the convex outline (corners in order either way round) holds point strictly inside.
bool convexHolds(const Vec2f* corners, uint32_t count, Vec2f point);
