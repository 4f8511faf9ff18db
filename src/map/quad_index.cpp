// quad_index.cpp: the map quads found through their own fixtures in Box2D's broad phase, a tree
// of padded bounds for the quads those cannot stand for, and the few no box can bound, which
// every query lists.
#include "map/quad_index.h"

#include <box2d/box2d.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "map/map_quad.h"
#include "physics/physics_world.h"

namespace {

// The heading tests of containsPoint round to float, so a point a hair outside an edge can
// pass; for a quad whose every corner turns clearly (sine of the turn above kMinTurnSine) the
// points that pass all lie within a small fraction of its size from it. Quads that turn less
// clearly, or folded, degenerate, non-finite or far-flung ones, can answer true far from their
// corners (four equal corners contain a whole half-plane), so they are listed by every query.
constexpr double kMinTurnSine = 0.01;
constexpr double kMaxIndexedCoordinate = 1.0e6;  // world units
constexpr double kRelativeMargin = 0.02;         // of the larger side of the corners' bounds
constexpr double kAbsoluteMargin = 0.5;          // world units

struct QuadIndex {
    // The quads Box2D's broad phase cannot answer for (no fixture in the current world, or one
    // whose box there does not hold the quad's padded box: too large for Box2D's margin, or left
    // behind by a whole-quad drag): their padded boxes, and each one's proxy by position.
    std::unique_ptr<b2DynamicTree> tree = std::make_unique<b2DynamicTree>();
    std::unordered_map<int32_t, int32_t> proxies;
    std::vector<int32_t> unbounded;  // ascending
    size_t indexed = 0;              // quads placed: the list's length, unless it changed unheard
    uint32_t world = 0;              // worldSerial() when the list was last placed whole
    uint32_t generation = 0;
    uint32_t changes = 0;
    bool enabled = true;
};
QuadIndex quadIndex;

// The bounds placeQuad found last, while no upkeep came since: a quad just made or reshaped is
// at once asked for them again by its own edge probes.
struct LastPlaced {
    const MapQuad* quad = nullptr;
    uint32_t changes = 0;  // quadIndex.changes then
    bool bounded = false;
    b2AABB box;
};
LastPlaced lastPlaced;

bool finiteWithin(Vec2f p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) <= kMaxIndexedCoordinate &&
           std::fabs(p.y) <= kMaxIndexedCoordinate;
}

// The padded bounds of the corners, stretched to hold the centre too (a whole-quad drag moves
// the corners and leaves the centre behind); false when no box bounds the quad's answers.
bool boundQuad(const MapQuad& quad, b2AABB& box) {
    const Vec2f center = quadCenter(quad);
    if (!finiteWithin(center)) return false;
    for (const Vec2f& v : quad.vertices) {
        if (!finiteWithin(v)) return false;
    }
    for (int k = 0; k < 4; ++k) {
        const Vec2f a = quad.vertices[(k + 3) % 4];
        const Vec2f b = quad.vertices[k];
        const Vec2f c = quad.vertices[(k + 1) % 4];
        const double e1x = static_cast<double>(b.x) - a.x, e1y = static_cast<double>(b.y) - a.y;
        const double e2x = static_cast<double>(c.x) - b.x, e2y = static_cast<double>(c.y) - b.y;
        const double cross = e1x * e2y - e1y * e2x;
        const double lengths = std::sqrt(e1x * e1x + e1y * e1y) * std::sqrt(e2x * e2x + e2y * e2y);
        if (!(cross > kMinTurnSine * lengths)) return false;
    }
    double minX = quad.vertices[0].x, maxX = minX, minY = quad.vertices[0].y, maxY = minY;
    for (const Vec2f& v : quad.vertices) {
        minX = std::min(minX, static_cast<double>(v.x));
        maxX = std::max(maxX, static_cast<double>(v.x));
        minY = std::min(minY, static_cast<double>(v.y));
        maxY = std::max(maxY, static_cast<double>(v.y));
    }
    const double margin = kRelativeMargin * std::max(maxX - minX, maxY - minY) + kAbsoluteMargin;
    box.lowerBound.Set(static_cast<float>(std::min(minX - margin, static_cast<double>(center.x))),
                       static_cast<float>(std::min(minY - margin, static_cast<double>(center.y))));
    box.upperBound.Set(static_cast<float>(std::max(maxX + margin, static_cast<double>(center.x))),
                       static_cast<float>(std::max(maxY + margin, static_cast<double>(center.y))));
    return true;
}

void* asUserData(int32_t index) { return reinterpret_cast<void*>(static_cast<intptr_t>(index)); }

// A map fixture's user data is its quad's list position plus one (0: not a map quad's).
uintptr_t fixtureMark(int32_t index) { return static_cast<uintptr_t>(index) + 1; }

// True when the fixture's box in Box2D's broad phase holds box (world units). That box is the
// fixture's own bounds fattened by Box2D's proxy margin, in float as Box2D makes it; compared in
// double, exactly, since a point in box turns into metres no further out than box's edges do.
bool fixtureHolds(const b2Fixture& fixture, const b2AABB& box) {
    if (!fixture.GetBody()->IsEnabled()) return false;  // no proxy in the broad phase
    const b2Vec2 margin(b2_aabbExtension, b2_aabbExtension);
    const b2AABB& own = fixture.GetAABB(0);
    const b2Vec2 low = own.lowerBound - margin;
    const b2Vec2 high = own.upperBound + margin;
    const auto units = [](float metres) { return static_cast<double>(metres) * kUnitsPerMetre; };
    return units(low.x) <= box.lowerBound.x && units(low.y) <= box.lowerBound.y &&
           units(high.x) >= box.upperBound.x && units(high.y) >= box.upperBound.y;
}

enum class Placement { Fixture, Tree, Unbounded };

// Where the quad's answers are found: through its own fixture in Box2D's broad phase, wherever
// that fixture was made, as long as its box there holds the quad's padded box (filled in); else
// the index's own tree; else every query.
Placement placementOf(const MapQuad& quad, b2AABB& box) {
    if (!boundQuad(quad, box)) return Placement::Unbounded;
    const b2Fixture* fixture = quadFixture(quad);
    const bool holds = fixture != nullptr && fixtureHolds(*fixture, box);
    return holds ? Placement::Fixture : Placement::Tree;
}

void placeQuad(int32_t index) {
    const MapQuad& quad = mapQuads()[static_cast<size_t>(index)];
    if (b2Fixture* fixture = quadFixture(quad)) fixture->GetUserData().pointer = fixtureMark(index);
    b2AABB box;
    const Placement placement = placementOf(quad, box);
    lastPlaced = LastPlaced{&quad, quadIndex.changes, placement != Placement::Unbounded, box};
    const auto proxy = quadIndex.proxies.find(index);
    if (placement == Placement::Tree) {
        if (proxy != quadIndex.proxies.end()) {
            quadIndex.tree->MoveProxy(proxy->second, box, b2Vec2(0.0f, 0.0f));
        } else {
            quadIndex.proxies.emplace(index, quadIndex.tree->CreateProxy(box, asUserData(index)));
        }
    } else if (proxy != quadIndex.proxies.end()) {
        quadIndex.tree->DestroyProxy(proxy->second);
        quadIndex.proxies.erase(proxy);
    }
    std::vector<int32_t>& unbounded = quadIndex.unbounded;
    const auto listed = std::lower_bound(unbounded.begin(), unbounded.end(), index);
    const bool isListed = listed != unbounded.end() && *listed == index;
    if (placement == Placement::Unbounded && !isListed) unbounded.insert(listed, index);
    if (placement != Placement::Unbounded && isListed) unbounded.erase(listed);
}

// A list changed behind the hooks' back, or a new world that holds none of the quads'
// fixtures, is indexed afresh.
void ensureCurrent() {
    if (quadIndex.indexed != mapQuads().size() || quadIndex.world != worldSerial()) rebuildQuadIndex();
}

}  // namespace

void refreshQuadIndex() { ensureCurrent(); }

bool quadHitBounds(const MapQuad& quad, Vec2f& low, Vec2f& high) {
    b2AABB box;
    if (&quad == lastPlaced.quad && quadIndex.changes == lastPlaced.changes) {
        if (!lastPlaced.bounded) return false;
        box = lastPlaced.box;
    } else if (!boundQuad(quad, box)) {
        return false;
    }
    low = {box.lowerBound.x, box.lowerBound.y};
    high = {box.upperBound.x, box.upperBound.y};
    return true;
}

int32_t fixtureQuadNumber(b2Fixture* fixture) {
    const uintptr_t mark = fixture->GetUserData().pointer;
    if (mark == 0 || mark > mapQuads().size()) return 0;
    if (quadFixture(mapQuads()[static_cast<size_t>(mark - 1)]) != fixture) return 0;
    return static_cast<int32_t>(mark);
}

namespace {
void listEveryQuad(std::vector<int32_t>& out) {
    out.clear();
    for (int32_t i = 0; i < getQuadCount(); ++i) out.push_back(i);
}

struct TreeCollector {
    const b2DynamicTree* tree;
    std::vector<int32_t>* out;
    bool QueryCallback(int32_t proxy) {
        out->push_back(static_cast<int32_t>(reinterpret_cast<intptr_t>(tree->GetUserData(proxy))));
        return true;
    }
};

// The map fixtures Box2D's broad phase finds, as list positions; anything else it holds (actors,
// the ground) is passed over.
struct FixtureCollector : b2QueryCallback {
    std::vector<int32_t>* out;
    explicit FixtureCollector(std::vector<int32_t>* into) : out(into) {}
    bool ReportFixture(b2Fixture* fixture) override {
        const uintptr_t mark = fixture->GetUserData().pointer;
        if (mark == 0 || mark > mapQuads().size()) return true;
        const auto index = static_cast<int32_t>(mark - 1);
        if (quadFixture(mapQuads()[static_cast<size_t>(index)]) == fixture) out->push_back(index);
        return true;
    }
};

void collect(const b2AABB& box, std::vector<int32_t>& out) {
    out.clear();
    TreeCollector fromTree{quadIndex.tree.get(), &out};
    quadIndex.tree->Query(&fromTree, box);
    if (b2World* world = getWorld()) {
        FixtureCollector fromFixtures(&out);
        b2AABB metres;
        metres.lowerBound.Set(toMetres(box.lowerBound.x), toMetres(box.lowerBound.y));
        metres.upperBound.Set(toMetres(box.upperBound.x), toMetres(box.upperBound.y));
        world->QueryAABB(&fromFixtures, metres);
    }
    out.insert(out.end(), quadIndex.unbounded.begin(), quadIndex.unbounded.end());
    std::sort(out.begin(), out.end());
    // A quad whose corners left its fixture behind may be found both ways.
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace

void indexQuadAppended() {
    ++quadIndex.changes;
    if (!quadIndex.enabled) return;
    if (mapQuads().size() != quadIndex.indexed + 1 || quadIndex.world != worldSerial()) {
        rebuildQuadIndex();
        return;
    }
    quadIndex.indexed = mapQuads().size();
    placeQuad(static_cast<int32_t>(quadIndex.indexed - 1));
}

void indexQuadChanged(int32_t index) {
    ++quadIndex.changes;
    if (!quadIndex.enabled) return;
    ensureCurrent();
    if (index < 0 || index >= getQuadCount()) return;
    placeQuad(index);
}

void rebuildQuadIndex() {
    ++quadIndex.generation;
    ++quadIndex.changes;
    quadIndex.tree = std::make_unique<b2DynamicTree>();
    quadIndex.proxies.clear();
    quadIndex.unbounded.clear();
    quadIndex.indexed = 0;
    quadIndex.world = worldSerial();
    if (!quadIndex.enabled) return;
    quadIndex.indexed = mapQuads().size();
    for (int32_t i = 0; i < getQuadCount(); ++i) placeQuad(i);
}

uint32_t quadListGeneration() { return quadIndex.generation; }
uint32_t quadChangeCount() { return quadIndex.changes; }

void quadsNearPoint(Vec2f point, std::vector<int32_t>& out) { quadsInBox(point, point, out); }

void quadsInBox(Vec2f low, Vec2f high, std::vector<int32_t>& out) {
    const bool finite = std::isfinite(low.x) && std::isfinite(low.y) && std::isfinite(high.x) &&
                        std::isfinite(high.y);
    if (!quadIndex.enabled || !finite) {
        listEveryQuad(out);
        return;
    }
    ensureCurrent();
    b2AABB box;
    box.lowerBound.Set(low.x, low.y);
    box.upperBound.Set(high.x, high.y);
    collect(box, out);
}

void setQuadIndexEnabled(bool enabled) {
    if (enabled == quadIndex.enabled) return;
    quadIndex.enabled = enabled;
    rebuildQuadIndex();
}

bool quadIndexEnabled() { return quadIndex.enabled; }

std::string quadIndexProblem() {
    const QuadList& quads = mapQuads();
    if (!quadIndex.enabled) {
        return quadIndex.indexed == 0 && quadIndex.proxies.empty() ? "" : "the switched-off quad index holds quads";
    }
    if (quadIndex.indexed != quads.size())
        return "the quad index holds " + std::to_string(quadIndex.indexed) + " quads of " +
               std::to_string(quads.size());
    ensureCurrent();  // a new world is caught up with at the next query anyway
    size_t inTree = 0, unbounded = 0;
    for (size_t i = 0; i < quads.size(); ++i) {
        const auto index = static_cast<int32_t>(i);
        const auto problem = [i](const char* what) { return "quad " + std::to_string(i) + what; };
        b2Fixture* fixture = quadFixture(quads[i]);
        if (fixture != nullptr && fixture->GetUserData().pointer != fixtureMark(index))
            return problem("'s fixture names another quad");
        const auto proxy = quadIndex.proxies.find(index);
        b2AABB box;
        switch (placementOf(quads[i], box)) {
            case Placement::Fixture:
                if (proxy != quadIndex.proxies.end()) return problem(" is held by its fixture but has a box too");
                break;
            case Placement::Tree:
                if (proxy == quadIndex.proxies.end()) return problem(" has no box in the quad index");
                if (!quadIndex.tree->GetFatAABB(proxy->second).Contains(box))
                    return problem(" lies outside its box in the quad index");
                if (quadIndex.tree->GetUserData(proxy->second) != asUserData(index))
                    return problem("'s box in the quad index names another quad");
                ++inTree;
                break;
            case Placement::Unbounded:
                if (proxy != quadIndex.proxies.end()) return problem(" is unbounded but has a box in the quad index");
                if (!std::binary_search(quadIndex.unbounded.begin(), quadIndex.unbounded.end(), index))
                    return problem(" is unbounded but left out of the quad index's queries");
                ++unbounded;
                break;
        }
    }
    if (inTree != quadIndex.proxies.size()) return "the quad index keeps boxes of quads that need none";
    if (unbounded != quadIndex.unbounded.size()) return "the quad index lists bounded quads as unbounded";
    return "";
}

QuadIndexCounts quadIndexCounts() {
    if (!quadIndex.enabled) return {};
    ensureCurrent();
    QuadIndexCounts counts;
    counts.byBox = quadIndex.proxies.size();
    counts.unbounded = quadIndex.unbounded.size();
    counts.byFixture = quadIndex.indexed - counts.byBox - counts.unbounded;
    return counts;
}

void resetQuadIndex() {
    const uint32_t changes = quadIndex.changes;  // never repeats: holders compare against it
    quadIndex = QuadIndex();
    quadIndex.changes = changes + 1;
    if (!mapQuads().empty()) rebuildQuadIndex();
}
