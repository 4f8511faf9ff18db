// box_select.cpp: rubber-band hits by separating axes, and the topmost quad under a point.
#include "map/box_select.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "map/map_quad.h"
#include "map/quad_index.h"

namespace {
// The two shapes are apart when, along some axis, the ranges of their projections do not meet.
// For a box and a convex polygon the box's two axes and the polygon's edge normals are enough.
bool separatedAlong(Vec2f axis, const Vec2f corners[4], Vec2f low, Vec2f high) {
    double quadMin = HUGE_VAL, quadMax = -HUGE_VAL, boxMin = HUGE_VAL, boxMax = -HUGE_VAL;
    for (int k = 0; k < 4; ++k) {
        const double p = static_cast<double>(axis.x) * corners[k].x + static_cast<double>(axis.y) * corners[k].y;
        quadMin = std::min(quadMin, p), quadMax = std::max(quadMax, p);
        const Vec2f b = {k & 1 ? high.x : low.x, k & 2 ? high.y : low.y};
        const double q = static_cast<double>(axis.x) * b.x + static_cast<double>(axis.y) * b.y;
        boxMin = std::min(boxMin, q), boxMax = std::max(boxMax, q);
    }
    return quadMax < boxMin || boxMax < quadMin;
}
}  // namespace

bool quadTouchesBox(const Vec2f corners[4], Vec2f low, Vec2f high) {
    if (separatedAlong({1.0f, 0.0f}, corners, low, high)) return false;
    if (separatedAlong({0.0f, 1.0f}, corners, low, high)) return false;
    for (int k = 0; k < 4; ++k) {
        const Vec2f a = corners[k], b = corners[(k + 1) % 4];
        if (separatedAlong({b.y - a.y, a.x - b.x}, corners, low, high)) return false;
    }
    return true;
}

int32_t selectQuadsTouching(Vec2f cornerA, Vec2f cornerB) {
    const Vec2f low = {std::min(cornerA.x, cornerB.x), std::min(cornerA.y, cornerB.y)};
    const Vec2f high = {std::max(cornerA.x, cornerB.x), std::max(cornerA.y, cornerB.y)};
    int32_t added = 0;
    // A plain scan: the index lists quads by their corners and centres, and a band drawn inside
    // one large quad touches it with neither.
    for (MapQuad& quad : mapQuads()) {
        if (quad.selected || !quadTouchesBox(quad.vertices, low, high)) continue;
        quad.selected = true;
        quad.editMode = -1;
        ++added;
    }
    return added;
}

int32_t topQuadAt(Vec2f point) {
    std::vector<int32_t> near;
    quadsNearPoint(point, near);
    for (auto it = near.rbegin(); it != near.rend(); ++it) {
        if (containsPoint(getQuad(*it), point)) return *it;
    }
    return -1;
}
