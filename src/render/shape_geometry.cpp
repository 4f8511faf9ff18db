// shape_geometry.cpp: circles, frame mapping, tiles and bands for the shape drawing.
#include "render/shape_geometry.h"

#include <algorithm>
#include <cmath>

#include "core/units.h"
#include "render/texture.h"

namespace {
constexpr float kRimPerCorner = 4.0f;  // world units of a circle's rim between two corners
constexpr int32_t kFewestCircleCorners = 16;
constexpr int32_t kMostCircleCorners = 96;
constexpr int32_t kMostTiles = 32;  // along each side of a box
}  // namespace

int32_t circleSegments(float radius) {
    if (!(radius > 0.0f)) return kFewestCircleCorners;
    const float rim = 2.0f * kPi * radius;
    if (!(rim < static_cast<float>(kMostCircleCorners) * kRimPerCorner)) return kMostCircleCorners;
    const auto corners = static_cast<int32_t>(std::ceil(rim / kRimPerCorner));
    return std::clamp(corners, kFewestCircleCorners, kMostCircleCorners);
}

void circleCorners(float radius, int32_t segments, std::vector<Vec2f>& out) {
    out.clear();
    const int32_t n = std::max(segments, 3);
    for (int32_t i = 0; i < n; ++i) {
        const float a = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(n);
        out.push_back({radius * std::cos(a), radius * std::sin(a)});
    }
}

Vec2f placeInWorld(Vec2f local, Vec2f position, float angle) {
    const float c = std::cos(toRadians(angle)), s = std::sin(toRadians(angle));
    return {position.x + local.x * c - local.y * s, position.y + local.x * s + local.y * c};
}

bool frameMapOf(const Texture& sheet, int32_t frame, FrameMap& map) {
    if (frame < 0 || frame >= sheet.frameCount) return false;
    const size_t at = static_cast<size_t>(frame) * 8;
    if (sheet.texCoords.size() < at + 8) return false;
    // Corners 0, 1 and 3 of a frame's quad are its top-left, top-right and bottom-left.
    const float* st = &sheet.texCoords[at];
    map.origin = {st[0], st[1]};
    map.across = {st[2] - st[0], st[3] - st[1]};
    map.down = {st[6] - st[0], st[7] - st[1]};
    return true;
}

Vec2f texCoordAt(const FrameMap& map, float u, float v) {
    return {map.origin.x + u * map.across.x + v * map.down.x,
            map.origin.y + u * map.across.y + v * map.down.y};
}

Vec2f texCoordInBox(const FrameMap& map, Vec2f point, Vec2f low, Vec2f high) {
    const float w = high.x - low.x, h = high.y - low.y;
    const float u = w > 0.0f ? (point.x - low.x) / w : 0.5f;
    const float v = h > 0.0f ? (point.y - low.y) / h : 0.5f;
    return texCoordAt(map, u, v);
}

void framePixels(const Texture& sheet, int32_t frame, int32_t& width, int32_t& height) {
    width = height = 0;
    if (frame < 0 || frame >= sheet.frameCount) return;
    const size_t at = static_cast<size_t>(frame) * 8;
    if (sheet.vertices.size() < at + 8) return;
    int32_t minX = sheet.vertices[at], maxX = minX, minY = sheet.vertices[at + 1], maxY = minY;
    for (size_t k = at; k < at + 8; k += 2) {
        minX = std::min(minX, sheet.vertices[k]);
        maxX = std::max(maxX, sheet.vertices[k]);
        minY = std::min(minY, sheet.vertices[k + 1]);
        maxY = std::max(maxY, sheet.vertices[k + 1]);
    }
    width = maxX - minX;
    height = maxY - minY;
}

int32_t tilesAlong(float length, int32_t side) {
    if (side <= 0 || !(length > 0.0f)) return 1;
    const float tiles = std::round(length / static_cast<float>(side));
    if (!(tiles < static_cast<float>(kMostTiles))) return kMostTiles;
    return std::max(1, static_cast<int32_t>(tiles));
}

void chainBand(const std::vector<Vec2f>& points, bool loop, float thickness, float pieceLength,
               std::vector<Vec2f>& out) {
    out.clear();
    const size_t n = points.size();
    if (n < 2) return;
    const size_t segments = loop && n > 2 ? n : n - 1;
    for (size_t i = 0; i < segments; ++i) {
        const Vec2f a = points[i], b = points[(i + 1) % n];
        const float run = std::fabs(b.x - a.x);
        int32_t pieces = 1;
        if (pieceLength > 0.0f && run > pieceLength)
            pieces = static_cast<int32_t>(std::min(std::ceil(run / pieceLength), 1024.0f));
        for (int32_t k = 0; k < pieces; ++k) {
            const float f0 = static_cast<float>(k) / static_cast<float>(pieces);
            const float f1 = static_cast<float>(k + 1) / static_cast<float>(pieces);
            const Vec2f p0{a.x + (b.x - a.x) * f0, a.y + (b.y - a.y) * f0};
            const Vec2f p1{a.x + (b.x - a.x) * f1, a.y + (b.y - a.y) * f1};
            out.push_back(p0);
            out.push_back(p1);
            out.push_back({p1.x, p1.y + thickness});
            out.push_back({p0.x, p0.y + thickness});
        }
    }
}

bool convexHolds(const Vec2f* corners, uint32_t count, Vec2f point) {
    if (count < 3) return false;
    bool anyLeft = false, anyRight = false;
    for (uint32_t i = 0; i < count; ++i) {
        const Vec2f a = corners[i], b = corners[(i + 1) % count];
        const float cross = (b.x - a.x) * (point.y - a.y) - (b.y - a.y) * (point.x - a.x);
        if (!(cross > 0.0f)) anyRight = true;
        if (!(cross < 0.0f)) anyLeft = true;
        if (anyLeft && anyRight) return false;
    }
    return true;
}
