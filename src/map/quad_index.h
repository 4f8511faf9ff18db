// quad_index.h: an index over the map quads, so that point, box and view queries visit only the
// quads near them and still answer in list order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/vec2.h"

struct MapQuad;


// Upkeep, called by map_quad.cpp's list and corner operations (elsewhere through
// quadCornersChanged and quadListChanged):
void indexQuadAppended();               // the last quad of mapQuads() is new
void indexQuadChanged(int32_t index);   // mapQuads()[index]'s corners, centre or fixture changed
void rebuildQuadIndex();                // the list changed in some other way (cleared, spliced)
// Bumped whenever existing quads may have moved to other positions (an append does not bump it),
// so holders of list indices know when to recompute them.
uint32_t quadListGeneration();
// Bumped by every upkeep call above: unchanged, no quad was added, moved, reshaped or rebuilt
// since it was last read, so checks over the whole map can be skipped.
uint32_t quadChangeCount();

// Candidates, ascending list indices, into out (cleared first; keeps its capacity, so a reused
// vector stops allocating). Every quad that is not listed is sure to give no hit:
// containsPoint is false for point ...
void quadsNearPoint(Vec2f point, std::vector<int32_t>& out);
// ... and neither its corners nor its centre lie in the box [low, high] (world units).
void quadsInBox(Vec2f low, Vec2f high, std::vector<int32_t>& out);

// The box outside which containsPoint is false for the quad (world units), the box the index
// answers for it by; false when no box bounds its answers (every query lists it).
bool quadHitBounds(const MapQuad& quad, Vec2f& low, Vec2f& high);

// Off, every query lists every quad (the plain scan, kept for comparison in benchmarks and
// tests); on by default.
void setQuadIndexEnabled(bool enabled);
bool quadIndexEnabled();
// The first way the index is not exact, or "" when it is: every quad of mapQuads() found by its
// own fixture, or by a box holding its corners and centre, or listed by every query; every map
// fixture naming its quad's position. O(quads).
std::string quadIndexProblem();
// How the quads are held: found through their own fixtures, by boxes of the index's own, or
// listed by every query.
struct QuadIndexCounts {
    size_t byFixture = 0;
    size_t byBox = 0;
    size_t unbounded = 0;
};
QuadIndexCounts quadIndexCounts();
// Brings the index up to date with the list and the world now (queries do it themselves), so a
// map fixture's user data names its quad's current position.
void refreshQuadIndex();
// The 1-based number of the map quad whose fixture this is, or 0 for any other fixture.
class b2Fixture;
int32_t fixtureQuadNumber(b2Fixture* fixture);

// On, generation 0, indexing whatever mapQuads() holds (nothing, at a new game's start).
void resetQuadIndex();
