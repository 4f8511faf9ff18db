// map_quad.cpp: the quad list, the heading arithmetic every point test shares, and the one
// place where a quad takes new corners and a new static fixture.
#include "map/map_quad.h"

#include <box2d/box2d.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "physics/physics_world.h"
#include "physics/static_shapes.h"
#include "map/quad_index.h"
#include "render/effects.h"
#include "render/texture.h"

namespace {
QuadList quadList;
// The centres detached quads were made with, by list position: the few quads a whole-quad drag or
// a snap left behind. Only spliceQuads moves quads, and it carries these along.
std::unordered_map<int32_t, Vec2f> detachedCenters;
// worldSerial() of the world every quad's fixture was made in. Fixtures outlive a retired world
// only until the next one is made here: then they are forgotten, all at once and untouched.
uint32_t fixturesWorld = 0;
}  // namespace

const QuadList& mapQuads() { return quadList; }

namespace {

constexpr double kProbeDistance = 2.0;       // world units outside an edge's midpoint
constexpr float kCoveredEdgeSlack = 1.0f;    // a neighbour edge this much shorter still covers
// Box2D welds corners closer than half a linear slop and asserts on what is left; we keep a
// full slop between any two corners so that no corner is ever welded away.
constexpr double kMinCornerDistance = static_cast<double>(b2_linearSlop);  // metres
constexpr double kMinBodyArea = 1.0e-4;  // square metres (0.2 x 0.2 world units)
// Beyond this the float32 metre coordinates get too coarse for the weld distance above.
constexpr float kMaxBodyCoordinate = 1.0e6f;  // world units

float edgeLength(Vec2f from, Vec2f to) {
    const double dx = static_cast<double>(to.x) - from.x;
    const double dy = static_cast<double>(to.y) - from.y;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

// Degrees turned at corner k; a strict numeric left turn is negative.
float cornerTurn(const Vec2f corners[4], int k) {
    const Vec2f previous = corners[(k + 3) % 4];
    const Vec2f current = corners[k];
    const Vec2f next = corners[(k + 1) % 4];
    return wrappedDiff(headingDeg(current, next), headingDeg(previous, current));
}

// findQuadAt for each of four points, from one look at the index: the quads it lists for a box
// around them all include those it lists for each point (any other gives no hit there), and a
// quad is tested at a point only inside the box that bounds its hits. A map load probes every
// quad's four edges, so this is most of what a large load does beyond Box2D's own work.
void findQuadsAt(const Vec2f (&points)[4], int32_t (&found)[4]) {
    static std::vector<int32_t> candidates;  // reused: no allocation once grown
    Vec2f low = points[0], high = points[0];
    for (const Vec2f& p : points) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y)};
    }
    quadsInBox(low, high, candidates);
    for (int32_t& f : found) f = -1;
    int32_t left = 4;
    for (int32_t i : candidates) {
        const MapQuad& candidate = quadList[static_cast<size_t>(i)];
        Vec2f hitLow{}, hitHigh{};
        const bool bounded = quadHitBounds(candidate, hitLow, hitHigh);
        for (int k = 0; k < 4; ++k) {
            if (found[k] != -1) continue;
            const Vec2f p = points[k];
            // NaN coordinates fall to the test itself, as they would in findQuadAt.
            const bool outside = p.x < hitLow.x || p.x > hitHigh.x || p.y < hitLow.y || p.y > hitHigh.y;
            if (bounded && outside) continue;
            if (containsPoint(candidate, p)) {
                found[k] = i;
                --left;
            }
        }
        if (left == 0) return;
    }
}

// The heading of each edge k, from corner k to corner k + 1.
void edgeHeadings(const Vec2f corners[4], float headings[4]) {
    for (int k = 0; k < 4; ++k) headings[k] = headingDeg(corners[k], corners[(k + 1) % 4]);
}

// cornersPassValidation from the edge headings: the turn at corner k is the one cornerTurn gives,
// the heading of edge k less that of edge k - 1.
bool headingsPassValidation(const float headings[4]) {
    static const int kOrder[4] = {1, 2, 3, 0};
    for (int k : kOrder) {
        if (!(wrappedDiff(headings[k], headings[(k + 3) % 4]) < 0.0f)) return false;
    }
    return true;
}

// A probe's step out of an edge of heading h degrees: (kProbeDistance cos o, kProbeDistance
// sin -o) for the outward angle o, each rounded to float.
struct ProbeStep {
    uint32_t headingBits = 0;
    bool known = false;
    float x = 0.0f, y = 0.0f;
};

// The steps of the last headings seen, by the heading's bits. A map drawn on the editor's grid
// has few headings, so a load works out the same sine and cosine over and over otherwise; the
// step kept is the very one the heading gives.
ProbeStep probeStep(float h) {
    static ProbeStep recent[8];
    uint32_t bits;
    std::memcpy(&bits, &h, sizeof bits);
    ProbeStep& slot = recent[(bits ^ (bits >> 16)) % 8];
    if (slot.known && slot.headingBits == bits) return slot;
    const double outward = toRadians(static_cast<double>(h) + 90.0);
    slot.headingBits = bits;
    slot.known = true;
    slot.x = static_cast<float>(kProbeDistance * std::cos(outward));
    slot.y = static_cast<float>(kProbeDistance * std::sin(-outward));
    return slot;
}

// headings: the quad's edge headings when the caller has them (the validation just made them),
// else nullptr.
void spawnCoveredEdgeBursts(const MapQuad& quad, const float* headings) {
    Vec2f probes[4];
    for (int k = 0; k < 4; ++k) {
        const Vec2f vk = quad.vertices[k];
        const Vec2f vj = quad.vertices[(k + 1) % 4];
        const ProbeStep step = probeStep(headings ? headings[k] : headingDeg(vk, vj));
        Vec2f& probe = probes[k];
        probe.x = static_cast<float>((static_cast<double>(vk.x) + vj.x) * 0.5 + step.x);
        probe.y = static_cast<float>((static_cast<double>(vk.y) + vj.y) * 0.5 + step.y);
    }
    int32_t found[4];
    findQuadsAt(probes, found);
    for (int k = 0; k < 4; ++k) {
        const Vec2f vk = quad.vertices[k];
        const Vec2f vj = quad.vertices[(k + 1) % 4];
        const Vec2f probe = probes[k];
        const int32_t index = found[k];
        if (index == -1) continue;
        const float facing = facingEdgeLength(getQuad(index), probe);
        const float length = edgeLength(vk, vj);
        if (!(facing >= length - kCoveredEdgeSlack)) continue;  // NaN: no facing edge
        // Looked up only here: most quads of a large map cover no edge, and a load makes many.
        if (Texture* bloom = findTexture("bloomtest.png")) spawnBurst(*bloom, probe.x, probe.y, 0.0f);
    }
}

Vec2f meanOfCorners(const MapQuad& quad) {
    const Vec2f* v = quad.vertices;
    return {(v[0].x + v[1].x + v[2].x + v[3].x) * 0.25f, (v[0].y + v[1].y + v[2].y + v[3].y) * 0.25f};
}

// Before the corners change by any way but setGeometry: the centre stays where it was.
void detach(MapQuad& quad) {
    if (quad.detached) return;
    const int32_t at = quadList.positionOf(quad);
    if (at >= 0) detachedCenters[at] = meanOfCorners(quad);
    quad.detached = true;
}

// The centre and the fixture are about to be made from the corners again.
void attach(MapQuad& quad) {
    if (!quad.detached) return;
    detachedCenters.erase(quadList.positionOf(quad));
    quad.detached = false;
}

// Before a fixture is made or destroyed: those of a retired world must not be touched.
void forgetRetiredFixtures() {
    if (fixturesWorld == worldSerial()) return;
    for (MapQuad& quad : quadList) quad.fixture = nullptr;
    fixturesWorld = worldSerial();
}

void destroyFixture(MapQuad& quad) {
    destroyStaticPolygon({quad.fixture, fixturesWorld});
    quad.fixture = nullptr;
}

void rebuildFixture(MapQuad& quad) {
    destroyFixture(quad);
    if (!isValidBodyPolygon(quad.vertices)) return;
    b2Vec2 points[4];
    for (int k = 0; k < 4; ++k) {
        points[k].Set(toMetres(quad.vertices[k].x), toMetres(quad.vertices[k].y));
    }
    quad.fixture = createStaticPolygon(points).fixture;
}

}  // namespace

float headingDeg(Vec2f a, Vec2f b) {
    const double dy = static_cast<double>(a.y) - b.y;
    const double dx = static_cast<double>(a.x) - b.x;
    // Radians to degrees in double around the float pi, turned so headings grow clockwise.
    return static_cast<float>(std::atan2(dy, dx) / kPiDouble * (-180.0) + 180.0);
}

float wrappedDiff(float a, float b) {
    if (a > b + 180.0f) return a - b - 360.0f;
    if (b > a + 180.0f) return a - b + 360.0f;
    return a - b;
}

bool cornersPassValidation(const Vec2f corners[4]) {
    float headings[4];
    edgeHeadings(corners, headings);
    return headingsPassValidation(headings);
}

CornerFault cornerFault(const Vec2f corners[4]) {
    if (cornersPassValidation(corners)) return CornerFault::None;
    for (int k = 0; k < 4; ++k) {
        if (!std::isfinite(corners[k].x) || !std::isfinite(corners[k].y)) {
            return CornerFault::NotFinite;
        }
    }
    int leftTurns = 0;
    for (int k = 0; k < 4; ++k) {
        const Vec2f a = corners[k];
        const Vec2f b = corners[(k + 1) % 4];
        if (a.x == b.x && a.y == b.y) return CornerFault::Collinear;
        const float turn = cornerTurn(corners, k);
        if (turn == 0.0f) return CornerFault::Collinear;
        if (turn < 0.0f) ++leftTurns;
    }
    // Four right turns are a convex quad wound the other way; a mix is a dent or a bow tie.
    return leftTurns == 0 ? CornerFault::WrongWinding : CornerFault::NotConvex;
}

bool isValidBodyPolygon(const Vec2f corners[4]) {
    // Check the very float32 metre values Box2D will be given.
    double x[4], y[4];
    for (int k = 0; k < 4; ++k) {
        const Vec2f c = corners[k];
        if (!std::isfinite(c.x) || !std::isfinite(c.y)) return false;
        if (std::fabs(c.x) > kMaxBodyCoordinate || std::fabs(c.y) > kMaxBodyCoordinate) return false;
        x[k] = toMetres(c.x);
        y[k] = toMetres(c.y);
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = i + 1; j < 4; ++j) {
            const double dx = x[j] - x[i], dy = y[j] - y[i];
            if (dx * dx + dy * dy < kMinCornerDistance * kMinCornerDistance) return false;
        }
    }
    double area2 = 0.0;
    for (int k = 0; k < 4; ++k) {
        const int a = (k + 3) % 4, b = k, c = (k + 1) % 4;
        const double cross = (x[b] - x[a]) * (y[c] - y[b]) - (y[b] - y[a]) * (x[c] - x[b]);
        if (!(cross > 0.0)) return false;  // every corner a strict numeric left turn
        area2 += x[b] * y[c] - x[c] * y[b];
    }
    return area2 * 0.5 > kMinBodyArea;
}

Vec2f quadCenter(const MapQuad& quad) {
    if (quad.detached && !detachedCenters.empty()) {
        const auto kept = detachedCenters.find(quadList.positionOf(quad));
        if (kept != detachedCenters.end()) return kept->second;
    }
    return meanOfCorners(quad);
}

b2Fixture* quadFixture(const MapQuad& quad) { return fixturesWorld == worldSerial() ? quad.fixture : nullptr; }

namespace {
MapQuad& appendQuad(bool textured) {
    MapQuad& quad = quadList.append();
    quad.textured = textured;
    indexQuadAppended();
    return quad;
}
}  // namespace

MapQuad& registerQuad() { return appendQuad(findTexture("image.png") != nullptr); }

MapQuad& createQuad(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3) {
    MapQuad& quad = registerQuad();
    setGeometry(quad, x0, y0, x1, y1, x2, y2, x3, y3);
    return quad;
}

MapQuad& createQuad(const float corners[8], bool textured) {
    MapQuad& quad = appendQuad(textured);
    const float* c = corners;
    setGeometry(quad, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    return quad;
}

void setGeometry(MapQuad& quad, float x0, float y0, float x1, float y1, float x2, float y2,
                 float x3, float y3) {
    const Vec2f proposed[4] = {{x0, y0}, {x1, y1}, {x2, y2}, {x3, y3}};
    // Each edge's heading once, for the validation and, when the corners are taken, the probes.
    float headings[4];
    edgeHeadings(proposed, headings);
    const bool taken = headingsPassValidation(headings);
    if (taken) {
        for (int k = 0; k < 4; ++k) quad.vertices[k] = proposed[k];
    }
    attach(quad);
    forgetRetiredFixtures();
    rebuildFixture(quad);
    const int32_t at = quadList.positionOf(quad);
    if (at >= 0) indexQuadChanged(at);  // the probes below may land in this very quad
    spawnCoveredEdgeBursts(quad, taken ? headings : nullptr);
}

bool containsPoint(const MapQuad& quad, Vec2f point) {
    for (int k = 0; k < 4; ++k) {
        const Vec2f vk = quad.vertices[k];
        const Vec2f next = quad.vertices[(k + 1) % 4];
        const float d = wrappedDiff(headingDeg(vk, point), headingDeg(vk, next));
        if (!(d < 0.0f)) return false;
    }
    return true;
}

int32_t findQuadAt(Vec2f point) {
    static std::vector<int32_t> candidates;  // reused: no allocation once grown
    quadsNearPoint(point, candidates);
    for (int32_t i : candidates) {
        if (containsPoint(quadList[static_cast<size_t>(i)], point)) return i;
    }
    return -1;
}

// Every quad is free of side effects to test, so the first hit settles the answer.
bool anyQuadAt(Vec2f point) { return findQuadAt(point) != -1; }

float facingEdgeLength(const MapQuad& quad, Vec2f point) {
    const Vec2f c = quadCenter(quad);
    for (int k = 0; k < 4; ++k) {
        const int j = (k + 1) % 4;
        const Vec2f vk = quad.vertices[k];
        const Vec2f vj = quad.vertices[j];
        const float d1 = wrappedDiff(headingDeg(vk, point), headingDeg(vk, c));
        if (d1 > 0.0f) {
            const float d2 = wrappedDiff(headingDeg(vj, point), headingDeg(vj, c));
            if (d2 < 0.0f) return edgeLength(vk, vj);
        }
    }
    return std::numeric_limits<float>::quiet_NaN();
}

float snapCoordinate(float c) {
    const float sign = c < 0.0f ? -1.0f : 1.0f;
    return static_cast<float>(sign * kGridStep *
                              std::trunc((std::fabs(c) + 4.0f) * 0.125));
}

void snapToGrid(MapQuad& quad) {
    detach(quad);
    for (Vec2f& v : quad.vertices) {
        v.x = snapCoordinate(v.x);
        v.y = snapCoordinate(v.y);
    }
    quadCornersChanged(quad);
}

void setCorners(MapQuad& quad, const Vec2f corners[4]) {
    detach(quad);
    for (int k = 0; k < 4; ++k) quad.vertices[k] = corners[k];
    quadCornersChanged(quad);
}

void quadCornersChanged(MapQuad& quad) {
    const int32_t index = quadList.positionOf(quad);
    if (index >= 0) indexQuadChanged(index);
}

void quadListChanged() { rebuildQuadIndex(); }

int32_t getQuadCount() { return static_cast<int32_t>(quadList.size()); }

MapQuad& getQuad(int32_t index) {
    assert(index >= 0 && index < getQuadCount() && "quad index out of range");
    return quadList[static_cast<size_t>(index)];
}

void clearMapQuads(bool destroyFixtures) {
    // Whole bodies at once: one fixture at a time would walk each body's fixture list again.
    b2World* world = getWorld();
    if (destroyFixtures && world != nullptr) {
        assert(!world->IsLocked() && "a fixture must not die inside the physics step");
        for (b2Body* body : staticShapeBodies()) world->DestroyBody(body);
        forgetStaticShapeBodies();
    }
    quadList.clear();
    detachedCenters.clear();
    quadListChanged();
}

QuadShape shapeOf(const MapQuad& quad) {
    QuadShape shape;
    for (int k = 0; k < 4; ++k) shape.vertices[k] = quad.vertices[k];
    shape.tag = quad.tag;
    shape.selected = quad.selected;
    return shape;
}

bool sameGeometry(const std::vector<QuadShape>& a, const std::vector<QuadShape>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        // Bits, not values: -0 and 0 differ on disk, and a NaN must still equal itself.
        if (std::memcmp(a[i].vertices, b[i].vertices, sizeof a[i].vertices) != 0) return false;
        if (a[i].tag != b[i].tag) return false;
    }
    return true;
}

void spliceQuads(const std::vector<int32_t>& take, const std::vector<PlacedShape>& put) {
    forgetRetiredFixtures();
    // Newest first: a fixture made later sits nearer the head of its body's list, which Box2D
    // walks to unlink it, so a loaded map's quads go in a few steps each.
    for (auto it = take.rbegin(); it != take.rend(); ++it) destroyFixture(getQuad(*it));
    QuadList result;
    std::unordered_map<int32_t, Vec2f> resultCenters;
    size_t nextTake = 0;
    size_t nextPut = 0;
    const auto putDue = [&] {
        return nextPut < put.size() && put[nextPut].position <= static_cast<int32_t>(result.size());
    };
    for (size_t i = 0; i <= quadList.size(); ++i) {
        for (; putDue(); ++nextPut) {
            const QuadShape& shape = put[nextPut].shape;
            MapQuad& quad = result.append();
            quad.textured = findTexture("image.png") != nullptr;
            for (int k = 0; k < 4; ++k) quad.vertices[k] = shape.vertices[k];
            quad.tag = shape.tag;
            quad.selected = shape.selected;
            rebuildFixture(quad);
        }
        if (i == quadList.size()) break;
        if (nextTake < take.size() && take[nextTake] == static_cast<int32_t>(i)) {
            ++nextTake;
            continue;
        }
        const auto kept = detachedCenters.find(static_cast<int32_t>(i));
        if (kept != detachedCenters.end()) resultCenters[static_cast<int32_t>(result.size())] = kept->second;
        result.append() = quadList[i];
    }
    assert(nextTake == take.size() && nextPut == put.size() && "splice positions out of order");
    quadList = std::move(result);
    detachedCenters = std::move(resultCenters);
    quadListChanged();
}
