// static_shapes.h: the map's fixed polygons as fixtures of a few shared static bodies.
#pragma once
#include <cstdint>
#include <vector>

class b2Body;
class b2Fixture;
struct b2Vec2;

// Box2D's step walks every body, asleep or static, so a body per polygon would make each step
// grow with the map. The polygons are therefore fixtures of shared static bodies, each holding at
// most kFixturesPerStaticBody of them: few bodies keep the step flat, and the cap bounds the walk
// along a body's fixture list that Box2D makes to remove one. Measured at 1,000,000 quads: with
// 8,192 per body (123 bodies) a step beside them cost 1.22 times the step beside 300 quads; with
// 65,536 (16 bodies) 0.99, and replacing the oldest quad's fixture once costs about 2 ms.
constexpr int32_t kFixturesPerStaticBody = 65536;

// A fixture made here and the world it was made in, so that one outliving its world is never
// looked at again.
struct StaticPolygon {
    b2Fixture* fixture = nullptr;
    uint32_t world = 0;  // worldSerial() when it was made
};

// A convex polygon (metres, counter-clockwise, accepted by b2PolygonShape::Set) with Box2D's
// default fixture settings, on a shared static body of the current world; no fixture when there
// is no world. Not inside the step.
StaticPolygon createStaticPolygon(const b2Vec2 points[4]);
// Removes a fixture made by createStaticPolygon. One left over from a retired world is simply
// forgotten, untouched: it went, or goes, with that world. Not inside the step.
void destroyStaticPolygon(const StaticPolygon& polygon);
// The shared static bodies of the current world, in the order they were made. A body whose
// fixtures are all gone is kept for the next polygon.
const std::vector<b2Body*>& staticShapeBodies();
// Forgets the shared bodies without touching them: their world has been retired or destroyed.
void forgetStaticShapeBodies();
