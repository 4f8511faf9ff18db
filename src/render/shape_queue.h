// shape_queue.h: per-frame queues of shapes that are not sheet sprites: lines (joints), textured
// convex polygons (bodies of any shape, terrain bands) and the outlines that cast shadows. Actors
// fill them while drawing; the drawing layers and the lightmap pass empty them. No GL here.
#pragma once
#include <cstdint>
#include <vector>

#include "core/vec2.h"

struct Texture;

struct QueuedLine {
    Vec2f from, to;      // world units
    float width = 1.0f;  // pixels at zoom 1
    uint32_t rgba = 0xffffffffu;  // 0xRRGGBBAA
};

// Queue a line for this frame; beyond a frame's capacity lines are dropped.
void pushLine(Vec2f from, Vec2f to, float width, uint32_t rgba);
const std::vector<QueuedLine>& queuedLines();
void emptyLineQueue();

// A convex polygon filled from one sheet: its corners and their texture coordinates are the
// `count` entries from `first` in queuedPolygonCorners and queuedPolygonTexCoords.
struct QueuedPolygon {
    const Texture* sheet = nullptr;  // borrowed from the texture registry
    uint32_t first = 0;
    uint32_t count = 0;
};

// Queue a convex polygon of count corners (world units, in order around it), each with its
// (s, t) in sheet; fewer than 3 corners, or a full queue, queue nothing.
void pushPolygon(const Texture& sheet, const Vec2f* corners, const Vec2f* texCoords, uint32_t count);
const std::vector<QueuedPolygon>& queuedPolygons();
const std::vector<Vec2f>& queuedPolygonCorners();
const std::vector<Vec2f>& queuedPolygonTexCoords();
void emptyPolygonQueue();

// A convex outline that casts shadows in the lightmap as a map quad does: the `count` corners
// from `first` in queuedCasterCorners.
struct ShadowCaster {
    uint32_t first = 0;
    uint32_t count = 0;
};

// Queue a convex outline (world units, in order around it) for the next lightmap pass; fewer
// than 3 corners, or a full queue, queue nothing.
void pushShadowCaster(const Vec2f* corners, uint32_t count);
const std::vector<ShadowCaster>& queuedCasters();
const std::vector<Vec2f>& queuedCasterCorners();
void emptyCasterQueue();

// All three queues, for a frame that queues without drawing.
void emptyShapeQueues();
