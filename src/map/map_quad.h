// map_quad.h: the map's convex quads, their static fixtures and the geometric queries over them.
#pragma once
#include <cstdint>
#include <vector>

#include "core/vec2.h"
#include "map/quad_list.h"

class b2Fixture;

// Every quad, in registration order, held by the list. Its shape changes only through the
// operations below, so the quad index stays exact.
const QuadList& mapQuads();
// The centre of the corners the quad's fixture was last made from: the mean of its corners,
// except while the quad is detached (a whole-quad drag leaves the centre behind).
Vec2f quadCenter(const MapQuad& quad);
// The quad's fixture when it lives in the current world, else nullptr.
b2Fixture* quadFixture(const MapQuad& quad);

// Keep the quad index exact: call the first after writing a listed quad's corners by hand (its
// fixture stays as it was, and its centre follows the new corners unless it is detached), the
// second to have the whole list indexed afresh.
void quadCornersChanged(MapQuad& quad);
void quadListChanged();

// Appends a blank quad (zero corners, no fixture, "image.png") to the list, which holds it.
MapQuad& registerQuad();
// What the loader and the editor both do: register, then setGeometry with the corners (world
// units). The list holds the result.
MapQuad& createQuad(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3);
// The same from a record's eight corner values, with whether "image.png" is loaded found once by
// the caller: a map load makes a million of them.
MapQuad& createQuad(const float corners[8], bool textured);
// Takes the corners when they turn the right way, then makes the centre and the fixture from them
// again (the fixture in the current world, which may be null) and sprinkles bursts on edges
// another quad covers.
void setGeometry(MapQuad& quad, float x0, float y0, float x1, float y1, float x2, float y2,
                 float x3, float y3);
bool containsPoint(const MapQuad& quad, Vec2f point);  // strictly inside, by heading tests
int32_t findQuadAt(Vec2f point);  // the first quad in list order containing point, or -1
bool anyQuadAt(Vec2f point);
// Length of the quad's edge that faces point (seen from the centre), NaN when none does.
float facingEdgeLength(const MapQuad& quad, Vec2f point);
void snapToGrid(MapQuad& quad);  // every corner to the nearest multiple of 8 world units
// Stores the corners (world units) as they are: no check, and centre and fixture stay as they
// were (the quad is detached).
void setCorners(MapQuad& quad, const Vec2f corners[4]);
int32_t getQuadCount();
MapQuad& getQuad(int32_t index);  // index in [0, getQuadCount())
// What undo keeps of one quad: its corners exactly as stored, tag and selection. Fixtures,
// centres and edit modes follow from these.
struct QuadShape {
    Vec2f vertices[4];
    bool tag = false;
    bool selected = false;
};
QuadShape shapeOf(const MapQuad& quad);
// True when both lists hold the same corners (bit for bit), tags and order; selection aside.
bool sameGeometry(const std::vector<QuadShape>& a, const std::vector<QuadShape>& b);
// A shape and the list position it is to have.
struct PlacedShape {
    int32_t position = 0;
    QuadShape shape;
};
// In one pass: removes the quads at the positions in take (ascending, in the list as it is) with
// their fixtures, then puts quads of exactly the given shapes at the positions in put (ascending,
// in the list that results): corners taken as they are (no validation, no bursts), centres
// recomputed, edit modes -1, fixtures made in the current world where the corners allow one.
void spliceQuads(const std::vector<int32_t>& take, const std::vector<PlacedShape>& put);
// Deletes every quad; with destroyFixtures the current world's shared static bodies go with their
// fixtures, else the fixtures must already be gone with a retired world.
void clearMapQuads(bool destroyFixtures);

// The turn test setGeometry applies to proposed corners (corners 1, 2, 3, 0 in that order).
bool cornersPassValidation(const Vec2f corners[4]);
// Why setGeometry would turn corners away, from the same turn test; None exactly when
// cornersPassValidation holds. Collinear covers a zero turn and two coinciding corners.
enum class CornerFault { None, NotFinite, Collinear, WrongWinding, NotConvex };
CornerFault cornerFault(const Vec2f corners[4]);
// True when the corners, in metres, make a polygon Box2D accepts as it is: finite, every corner a
// strict numeric left turn, no two corners within Box2D's weld distance, area well above zero.
bool isValidBodyPolygon(const Vec2f corners[4]);
constexpr float kGridStep = 8.0f;  // world units: where releases snap, pastes land, the grid's lines
// One coordinate rounded to the nearest multiple of 8 world units, halves away from zero.
float snapCoordinate(float c);

float headingDeg(Vec2f a, Vec2f b);  // direction of the vector from b to a, degrees in [0, 360)
float wrappedDiff(float a, float b);
