// shadow_quad.cpp: silhouettes of map quads seen from a light, extruded into shadow quads, and
// the per-light vertex buffer built from them. Pure geometry: nothing here touches GL.
#include "lighting/shadow_quad.h"

#include <algorithm>
#include <cmath>

#include "core/units.h"
#include "map/map_quad.h"
#include "map/quad_index.h"
#include "render/shape_geometry.h"
#include "render/shape_queue.h"

namespace {

constexpr float kShadowLength = 2500.0f;  // world units; far beyond any visible edge
constexpr float kCastRadius = 700.0f;     // quads whose centre is this far or farther cast nothing

float bearing(Vec2f light, Vec2f point) { return headingDeg(light, point); }

Vec2f extrude(Vec2f point, float bearingDeg) {
    const float b = toRadians(bearingDeg);
    return {point.x + kShadowLength * std::cos(b), point.y + kShadowLength * -std::sin(b)};
}

// Truncated toward zero; corners beyond the int32 range (a hostile map's 1e30, say) pin to
// its ends instead of overflowing the conversion.
void storePoint(int32_t* out, Vec2f point) {
    out[0] = clampToInt32(point.x);
    out[1] = clampToInt32(point.y);
}

}  // namespace

ShadowQuad buildShadowQuad(const MapQuad& quad, Vec2f light) {
    const float c = bearing(light, quadCenter(quad));
    float bearings[4];
    int32_t low = 0;
    int32_t high = 2;
    float lowThreshold = 0.0f;
    float highThreshold = 0.0f;
    for (int32_t j = 0; j < 4; ++j) {
        bearings[j] = bearing(light, quad.vertices[j]);
        const float d = wrappedDiff(bearings[j], c);
        // Strict comparisons: on a tie the earlier corner stays.
        if (d < lowThreshold) {
            low = j;
            lowThreshold = d;
        }
        if (d > highThreshold) {
            high = j;
            highThreshold = d;
        }
    }
    ShadowQuad shadow;
    storePoint(&shadow.points[0], quad.vertices[low]);
    storePoint(&shadow.points[2], extrude(quad.vertices[low], bearings[low]));
    storePoint(&shadow.points[4], extrude(quad.vertices[high], bearings[high]));
    storePoint(&shadow.points[6], quad.vertices[high]);
    return shadow;
}

bool shadowGeometryInRange(const Vec2f corners[4]) {
    // Float rounding is monotonic, so no extrusion of a coordinate lies farther out than
    // |c| + kShadowLength rounded the same way; 2^31 is the first value that pins.
    constexpr float kLimit = 2147483648.0f;
    for (int k = 0; k < 4; ++k) {
        for (float c : {corners[k].x, corners[k].y}) {
            if (!(std::fabs(c) + kShadowLength < kLimit)) return false;
        }
    }
    return true;
}

bool castsShadow(const MapQuad& quad, Vec2f light) {
    const Vec2f center = quadCenter(quad);
    const float dx = center.x - light.x;
    const float dy = center.y - light.y;
    return std::sqrt(dx * dx + dy * dy) < kCastRadius;
}

void collectCastingQuads(Vec2f light, std::vector<int32_t>& out) {
    // The box reaches a little beyond the cast radius, for the float rounding of the distance.
    const float reach = kCastRadius + 2.0f;
    quadsInBox({light.x - reach, light.y - reach}, {light.x + reach, light.y + reach}, out);
    out.erase(std::remove_if(out.begin(), out.end(),
                             [light](int32_t i) { return !castsShadow(getQuad(i), light); }),
              out.end());
}

namespace {
Vec2f outlineCentre(const Vec2f* corners, uint32_t count) {
    Vec2f sum;
    for (uint32_t i = 0; i < count; ++i) {
        sum.x += corners[i].x;
        sum.y += corners[i].y;
    }
    return {sum.x / static_cast<float>(count), sum.y / static_cast<float>(count)};
}
}  // namespace

void collectCastingOutlines(Vec2f light, std::vector<uint32_t>& out) {
    out.clear();
    const std::vector<ShadowCaster>& casters = queuedCasters();
    const Vec2f* all = queuedCasterCorners().data();
    for (uint32_t i = 0; i < casters.size(); ++i) {
        const Vec2f* corners = all + casters[i].first;
        const Vec2f centre = outlineCentre(corners, casters[i].count);
        const float dx = centre.x - light.x, dy = centre.y - light.y;
        if (!(std::sqrt(dx * dx + dy * dy) < kCastRadius)) continue;
        if (convexHolds(corners, casters[i].count, light)) continue;
        out.push_back(i);
    }
}

void buildLightVertices(LightVertices& buffer, const int32_t lightQuad[8], Vec2f light) {
    collectCastingQuads(light, buffer.casting);
    collectCastingOutlines(light, buffer.castingOutlines);
    int32_t casters = static_cast<int32_t>(buffer.casting.size());
    for (uint32_t i : buffer.castingOutlines) casters += static_cast<int32_t>(queuedCasters()[i].count);
    // The light quad and every shadow must fit below the caster half: 4 * (casters + 1).
    const int32_t needed = 4 * (casters + 1);
    if (needed > buffer.half) {
        buffer.half = std::max(2 * buffer.half, needed);
        buffer.coords.assign(static_cast<size_t>(4 * buffer.half), 0);
    }
    std::copy(lightQuad, lightQuad + 8, buffer.coords.begin());
    int32_t* shadows = buffer.coords.data();
    int32_t* corners = buffer.coords.data() + 2 * buffer.half;
    int32_t k = 1;
    for (int32_t index : buffer.casting) {
        const MapQuad& quad = getQuad(index);
        const ShadowQuad shadow = buildShadowQuad(quad, light);
        std::copy(shadow.points, shadow.points + 8, shadows + 8 * k);
        for (int32_t j = 0; j < 4; ++j) storePoint(corners + 8 * k + 2 * j, quad.vertices[j]);
        ++k;
    }
    // Every edge's shadow together covers what the outline hides from the light, whichever
    // edges face it, so no silhouette is searched for.
    for (uint32_t i : buffer.castingOutlines) {
        const ShadowCaster& caster = queuedCasters()[i];
        const Vec2f* outline = queuedCasterCorners().data() + caster.first;
        const Vec2f centre = outlineCentre(outline, caster.count);
        for (uint32_t j = 0; j < caster.count; ++j) {
            const Vec2f a = outline[j], b = outline[(j + 1) % caster.count];
            storePoint(shadows + 8 * k, a);
            storePoint(shadows + 8 * k + 2, extrude(a, bearing(light, a)));
            storePoint(shadows + 8 * k + 4, extrude(b, bearing(light, b)));
            storePoint(shadows + 8 * k + 6, b);
            storePoint(corners + 8 * k, centre);
            storePoint(corners + 8 * k + 2, a);
            storePoint(corners + 8 * k + 4, b);
            storePoint(corners + 8 * k + 6, b);
            ++k;
        }
    }
    buffer.casterCount = casters;
}
