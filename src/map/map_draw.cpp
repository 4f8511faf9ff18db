// map_draw.cpp: the map quads, textured, with an outline on the selected ones.
#include "map/map_draw.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "map/map_quad.h"
#include "map/quad_index.h"
#include "render/texture.h"

namespace {

constexpr float kOutlineWidth = 1.5f;  // pixels
// Room around the window for the outlines' width and the rasteriser's rounding.
constexpr double kViewSlackPixels = 8.0;

// Kept across frames: they only grow, so drawing allocates nothing once they hold the view.
std::vector<int32_t> visibleQuads;
std::vector<Vec2f> batchVertices;
std::vector<Vec2f> batchTexCoords;

GLuint textureName(const MapQuad& quad) { return quad.texture != nullptr ? quad.texture->glName : 0; }

// The world rectangle the current projection and model-view matrices map onto the viewport,
// with some slack; false when the matrices are not a plain 2D affine map with an inverse, in
// which case nothing may be culled.
bool visibleWorldBox(Vec2f& low, Vec2f& high) {
    GLfloat projection[16], modelView[16];
    GLint viewport[4];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetIntegerv(GL_VIEWPORT, viewport);
    // Column-major: element (row r, column c) is m[4 * c + r].
    double m[16];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += static_cast<double>(projection[4 * k + r]) * modelView[4 * c + k];
            }
            m[4 * c + r] = sum;
        }
    }
    // A world point (x, y, 0, 1) must keep w = 1, or the division would bend the picture.
    if (m[3] != 0.0 || m[7] != 0.0 || m[15] != 1.0) return false;
    const double a = m[0], b = m[4], tx = m[12];
    const double c = m[1], d = m[5], ty = m[13];
    const double det = a * d - b * c;
    if (!std::isfinite(det) || det == 0.0 || !std::isfinite(tx) || !std::isfinite(ty)) return false;
    if (viewport[2] <= 0 || viewport[3] <= 0) return false;
    const double slackX = 1.0 + 2.0 * kViewSlackPixels / viewport[2];
    const double slackY = 1.0 + 2.0 * kViewSlackPixels / viewport[3];
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (int corner = 0; corner < 4; ++corner) {
        const double nx = (corner & 1 ? slackX : -slackX) - tx;
        const double ny = (corner & 2 ? slackY : -slackY) - ty;
        const double x = (d * nx - b * ny) / det;
        const double y = (a * ny - c * nx) / det;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    // Rounded outward to float.
    low = Vec2f{std::nextafter(static_cast<float>(minX), -HUGE_VALF),
                std::nextafter(static_cast<float>(minY), -HUGE_VALF)};
    high = Vec2f{std::nextafter(static_cast<float>(maxX), HUGE_VALF),
                 std::nextafter(static_cast<float>(maxY), HUGE_VALF)};
    return std::isfinite(low.x) && std::isfinite(low.y) && std::isfinite(high.x) &&
           std::isfinite(high.y);
}

void drawOutline(const MapQuad& quad) {
    glDisable(GL_TEXTURE_2D);
    if (quad.editMode == -1) {
        glColor3f(1.0f, 0.0f, 0.0f);  // selected
    } else {
        glColor3f(0.8f, 0.6f, 0.0f);  // a drag mode is chosen
    }
    glVertexPointer(2, GL_FLOAT, 0, quad.vertices);
    glLineWidth(kOutlineWidth);
    glDrawArrays(GL_LINE_LOOP, 0, 4);
    glColor3f(1.0f, 1.0f, 1.0f);
    glLineWidth(1.0f);
    glEnable(GL_TEXTURE_2D);
}

void flushBatch(GLuint texture) {
    if (batchVertices.empty()) return;
    glBindTexture(GL_TEXTURE_2D, texture);
    glVertexPointer(2, GL_FLOAT, 0, batchVertices.data());
    glTexCoordPointer(2, GL_FLOAT, 0, batchTexCoords.data());
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(batchVertices.size()));
    batchVertices.clear();
    batchTexCoords.clear();
}

}  // namespace

// Quads outside the view are skipped and the rest drawn in list order, as runs that share a
// texture in one array draw each; a selected quad ends its run so that its outline lands between
// it and the quads after it, exactly where drawing quad by quad puts it.
void drawMap() {
    if (mapQuads.empty()) return;
    Vec2f low, high;
    if (!visibleWorldBox(low, high)) {
        low = Vec2f{-HUGE_VALF, -HUGE_VALF};  // lists every quad
        high = Vec2f{HUGE_VALF, HUGE_VALF};
    }
    quadsInBox(low, high, visibleQuads);
    if (visibleQuads.empty()) return;

    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    GLuint batchTexture = 0;
    for (int32_t index : visibleQuads) {
        const MapQuad& quad = getQuad(index);
        const GLuint texture = textureName(quad);
        if (texture != batchTexture) flushBatch(batchTexture);
        batchTexture = texture;
        batchVertices.insert(batchVertices.end(), quad.vertices, quad.vertices + 4);
        batchTexCoords.insert(batchTexCoords.end(), quad.texCoords, quad.texCoords + 4);
        if (!quad.selected) continue;
        flushBatch(batchTexture);
        drawOutline(quad);
    }
    flushBatch(batchTexture);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
}

void drawQuad(const MapQuad& quad) {
    glBindTexture(GL_TEXTURE_2D, textureName(quad));
    // Vec2f is two packed floats, so the corner arrays are the vertex arrays as they stand.
    static_assert(sizeof(Vec2f) == 2 * sizeof(float), "Vec2f must pack as (x, y)");
    glVertexPointer(2, GL_FLOAT, 0, quad.vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, quad.texCoords);
    glDrawArrays(GL_QUADS, 0, 4);
    if (quad.selected) drawOutline(quad);
}
