// shape_drawing.cpp: the queued polygons as triangle fans from one pair of arrays, the queued
// lines one at a time (each may have its own width).
#include "render/shape_drawing.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/camera.h"
#include "render/shape_queue.h"
#include "render/texture.h"

namespace {
constexpr float kThinnestLine = 1.0f;  // pixels: GL draws nothing narrower reliably

float channel(uint32_t rgba, int shift) { return static_cast<float>((rgba >> shift) & 0xffu) / 255.0f; }
}  // namespace

void drawQueuedPolygons() {
    const std::vector<QueuedPolygon>& polygons = queuedPolygons();
    if (polygons.empty()) return;
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, queuedPolygonCorners().data());
    glTexCoordPointer(2, GL_FLOAT, 0, queuedPolygonTexCoords().data());
    GLuint bound = 0;
    bool anyBound = false;
    for (const QueuedPolygon& polygon : polygons) {
        const GLuint name = polygon.sheet != nullptr ? polygon.sheet->glName : 0;
        // Neighbours of one sheet (a band's pieces, a box's tiles) share a binding.
        if (!anyBound || name != bound) {
            glBindTexture(GL_TEXTURE_2D, name);
            bound = name;
            anyBound = true;
        }
        glDrawArrays(GL_TRIANGLE_FAN, static_cast<GLint>(polygon.first),
                     static_cast<GLsizei>(polygon.count));
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
    emptyPolygonQueue();
}

void drawQueuedLines() {
    const std::vector<QueuedLine>& lines = queuedLines();
    if (lines.empty()) return;
    // The width and colour go back as found, so the layers drawn after see the state they did.
    GLfloat previousWidth = 1.0f, previousColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glGetFloatv(GL_LINE_WIDTH, &previousWidth);
    glGetFloatv(GL_CURRENT_COLOR, previousColour);
    const Vec2f scale = zoom();
    const float pixelsPerUnit = std::sqrt(std::fabs(scale.x * scale.y));
    for (const QueuedLine& line : lines) {
        const float width = line.width * pixelsPerUnit;
        glLineWidth(std::isfinite(width) ? std::max(width, kThinnestLine) : kThinnestLine);
        glColor4f(channel(line.rgba, 24), channel(line.rgba, 16), channel(line.rgba, 8), channel(line.rgba, 0));
        glBegin(GL_LINES);
        glVertex2f(line.from.x, line.from.y);
        glVertex2f(line.to.x, line.to.y);
        glEnd();
    }
    glLineWidth(previousWidth);
    glColor4fv(previousColour);
    emptyLineQueue();
}
