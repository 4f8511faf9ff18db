// shape_queue.cpp: the line, polygon and shadow-caster queues.
#include "render/shape_queue.h"

#include <cstddef>

namespace {
constexpr size_t kLineCapacity = 40000;
constexpr size_t kPolygonCornerCapacity = 400000;  // corners of every polygon of a frame
constexpr size_t kCasterCornerCapacity = 100000;   // corners of every caster of a frame

struct ShapeQueues {
    std::vector<QueuedLine> lines;
    std::vector<QueuedPolygon> polygons;
    std::vector<Vec2f> polygonCorners;
    std::vector<Vec2f> polygonTexCoords;
    std::vector<ShadowCaster> casters;
    std::vector<Vec2f> casterCorners;
};
ShapeQueues queues;  // filled while the actors draw, emptied by the passes that read them
}  // namespace

void pushLine(Vec2f from, Vec2f to, float width, uint32_t rgba) {
    if (queues.lines.size() < kLineCapacity) queues.lines.push_back(QueuedLine{from, to, width, rgba});
}

const std::vector<QueuedLine>& queuedLines() { return queues.lines; }

void emptyLineQueue() { queues.lines.clear(); }

void pushPolygon(const Texture& sheet, const Vec2f* corners, const Vec2f* texCoords, uint32_t count) {
    if (count < 3 || queues.polygonCorners.size() + count > kPolygonCornerCapacity) return;
    queues.polygons.push_back(
        QueuedPolygon{&sheet, static_cast<uint32_t>(queues.polygonCorners.size()), count});
    queues.polygonCorners.insert(queues.polygonCorners.end(), corners, corners + count);
    queues.polygonTexCoords.insert(queues.polygonTexCoords.end(), texCoords, texCoords + count);
}

const std::vector<QueuedPolygon>& queuedPolygons() { return queues.polygons; }
const std::vector<Vec2f>& queuedPolygonCorners() { return queues.polygonCorners; }
const std::vector<Vec2f>& queuedPolygonTexCoords() { return queues.polygonTexCoords; }

void emptyPolygonQueue() {
    queues.polygons.clear();
    queues.polygonCorners.clear();
    queues.polygonTexCoords.clear();
}

void pushShadowCaster(const Vec2f* corners, uint32_t count) {
    if (count < 3 || queues.casterCorners.size() + count > kCasterCornerCapacity) return;
    queues.casters.push_back(ShadowCaster{static_cast<uint32_t>(queues.casterCorners.size()), count});
    queues.casterCorners.insert(queues.casterCorners.end(), corners, corners + count);
}

const std::vector<ShadowCaster>& queuedCasters() { return queues.casters; }
const std::vector<Vec2f>& queuedCasterCorners() { return queues.casterCorners; }

void emptyCasterQueue() {
    queues.casters.clear();
    queues.casterCorners.clear();
}

void emptyShapeQueues() {
    emptyLineQueue();
    emptyPolygonQueue();
    emptyCasterQueue();
}
