// quad_index.cpp: a Box2D dynamic tree of padded quad bounds, plus the few quads no box can
// bound, which every query lists.
#include "map/quad_index.h"

#include <box2d/b2_dynamic_tree.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "map/map_quad.h"

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
    std::unique_ptr<b2DynamicTree> tree = std::make_unique<b2DynamicTree>();
    // Parallel to mapQuads(): each quad's box in the tree, or -1 when it is listed among the
    // unbounded instead. Each quad keeps its own position (MapQuad::listPosition), so a quad's
    // position costs no lookup table of a million entries.
    std::vector<int32_t> proxies;
    std::vector<int32_t> unbounded;  // ascending
    uint32_t generation = 0;
    uint32_t changes = 0;
    bool enabled = true;
};
QuadIndex quadIndex;

bool finiteWithin(Vec2f p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) <= kMaxIndexedCoordinate &&
           std::fabs(p.y) <= kMaxIndexedCoordinate;
}

// The padded bounds of the corners, stretched to hold the centre too (a whole-quad drag moves
// the corners and leaves the centre behind); false when no box bounds the quad's answers.
bool boundQuad(const MapQuad& quad, b2AABB& box) {
    if (!finiteWithin(quad.center)) return false;
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
    box.lowerBound.Set(static_cast<float>(std::min(minX - margin, static_cast<double>(quad.center.x))),
                       static_cast<float>(std::min(minY - margin, static_cast<double>(quad.center.y))));
    box.upperBound.Set(static_cast<float>(std::max(maxX + margin, static_cast<double>(quad.center.x))),
                       static_cast<float>(std::max(maxY + margin, static_cast<double>(quad.center.y))));
    return true;
}

void* asUserData(int32_t index) { return reinterpret_cast<void*>(static_cast<intptr_t>(index)); }

void placeQuad(int32_t index) {
    int32_t& proxy = quadIndex.proxies[static_cast<size_t>(index)];
    std::vector<int32_t>& unbounded = quadIndex.unbounded;
    const auto listed = std::lower_bound(unbounded.begin(), unbounded.end(), index);
    const bool isListed = listed != unbounded.end() && *listed == index;
    b2AABB box;
    if (boundQuad(*mapQuads()[static_cast<size_t>(index)], box)) {
        if (isListed) unbounded.erase(listed);
        if (proxy >= 0) {
            quadIndex.tree->MoveProxy(proxy, box, b2Vec2(0.0f, 0.0f));
        } else {
            proxy = quadIndex.tree->CreateProxy(box, asUserData(index));
        }
        return;
    }
    if (proxy >= 0) {
        quadIndex.tree->DestroyProxy(proxy);
        proxy = -1;
    }
    if (!isListed) unbounded.insert(listed, index);
}

// A list changed behind the hooks' back (only its length can tell) is indexed afresh.
void ensureCurrent() {
    if (quadIndex.proxies.size() != mapQuads().size()) rebuildQuadIndex();
}

void listEveryQuad(std::vector<int32_t>& out) {
    out.clear();
    for (int32_t i = 0; i < getQuadCount(); ++i) out.push_back(i);
}

struct Collector {
    const b2DynamicTree* tree;
    std::vector<int32_t>* out;
    bool QueryCallback(int32_t proxy) {
        out->push_back(static_cast<int32_t>(reinterpret_cast<intptr_t>(tree->GetUserData(proxy))));
        return true;
    }
};

void collect(const b2AABB& box, std::vector<int32_t>& out) {
    out.clear();
    Collector collector{quadIndex.tree.get(), &out};
    quadIndex.tree->Query(&collector, box);
    out.insert(out.end(), quadIndex.unbounded.begin(), quadIndex.unbounded.end());
    std::sort(out.begin(), out.end());
}

}  // namespace

void indexQuadAppended() {
    ++quadIndex.changes;
    if (!quadIndex.enabled) return;
    const size_t index = quadIndex.proxies.size();
    if (mapQuads().size() != index + 1) {
        rebuildQuadIndex();
        return;
    }
    mapQuads().back()->listPosition = static_cast<int32_t>(index);
    quadIndex.proxies.push_back(-1);
    placeQuad(static_cast<int32_t>(index));
}

void indexQuadChanged(int32_t index) {
    ++quadIndex.changes;
    if (!quadIndex.enabled) return;
    ensureCurrent();
    if (index < 0 || index >= static_cast<int32_t>(quadIndex.proxies.size())) return;
    placeQuad(index);
}

void rebuildQuadIndex() {
    ++quadIndex.generation;
    ++quadIndex.changes;
    quadIndex.tree = std::make_unique<b2DynamicTree>();
    quadIndex.proxies.clear();
    quadIndex.unbounded.clear();
    if (!quadIndex.enabled) return;
    quadIndex.proxies.reserve(mapQuads().size());
    for (size_t i = 0; i < mapQuads().size(); ++i) {
        mapQuads()[i]->listPosition = static_cast<int32_t>(i);
        quadIndex.proxies.push_back(-1);
        placeQuad(static_cast<int32_t>(i));
    }
}

int32_t indexedPosition(const MapQuad& quad) {
    if (!quadIndex.enabled) return -1;
    ensureCurrent();
    const int32_t at = quad.listPosition;
    const bool listedThere = at >= 0 && at < getQuadCount() && mapQuads()[static_cast<size_t>(at)].get() == &quad;
    return listedThere ? at : -1;
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
    const auto& quads = mapQuads();
    if (!quadIndex.enabled) return quadIndex.proxies.empty() ? "" : "the switched-off quad index holds quads";
    if (quadIndex.proxies.size() != quads.size())
        return "the quad index holds " + std::to_string(quadIndex.proxies.size()) + " quads of " +
               std::to_string(quads.size());
    size_t unbounded = 0;
    for (size_t i = 0; i < quads.size(); ++i) {
        const int32_t proxy = quadIndex.proxies[i];
        const auto problem = [i](const char* what) { return "quad " + std::to_string(i) + what; };
        if (quads[i]->listPosition != static_cast<int32_t>(i))
            return problem(" is at another position in the quad index");
        b2AABB box;
        if (!boundQuad(*quads[i], box)) {
            if (proxy >= 0) return problem(" is unbounded but has a box in the quad index");
            if (!std::binary_search(quadIndex.unbounded.begin(), quadIndex.unbounded.end(),
                                    static_cast<int32_t>(i)))
                return problem(" is unbounded but left out of the quad index's queries");
            ++unbounded;
            continue;
        }
        if (proxy < 0) return problem(" has no box in the quad index");
        if (!quadIndex.tree->GetFatAABB(proxy).Contains(box))
            return problem(" lies outside its box in the quad index");
        if (quadIndex.tree->GetUserData(proxy) != asUserData(static_cast<int32_t>(i)))
            return problem("'s box in the quad index names another quad");
    }
    if (unbounded != quadIndex.unbounded.size()) return "the quad index lists bounded quads as unbounded";
    return "";
}

void resetQuadIndex() {
    const uint32_t changes = quadIndex.changes;  // never repeats: holders compare against it
    quadIndex = QuadIndex();
    quadIndex.changes = changes + 1;
    if (!mapQuads().empty()) rebuildQuadIndex();
}
