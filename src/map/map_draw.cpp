// map_draw.cpp: the map quads, textured, with an outline on selected ones, and their corner handles.
#include "map/map_draw.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "map/map_editor.h"
#include "map/map_quad.h"
#include "map/quad_index.h"
#include "render/texture.h"

namespace {

constexpr float kOutlineWidth = 1.5f;    // pixels
constexpr float kHandleSize = 7.0f;      // pixels, a white square
constexpr float kHandleCoreSize = 3.0f;  // pixels, in the outline's colour
constexpr float kHoverHandleSize = 9.0f;  // pixels, filled: the corner a press would grab
// Pixels: the whole quad a press would grab. A band centred on the edges, wide enough to stay
// visible on both sides of the outline drawn back over it.
constexpr float kHoverOutlineWidth = 5.5f;
constexpr float kRefusedOutlineWidth = 2.5f;
constexpr int32_t kWholeQuadMode = 4;
// Room around the window for the outlines' width and the rasteriser's rounding.
constexpr double kViewSlackPixels = 8.0;
// How far inside the viewport's edge a corner must lie to be sure GL needs no clipping for it.
constexpr double kInsidePixels = 2.0;

// Kept across frames: they only grow, so drawing allocates nothing once they hold the view.
std::vector<int32_t> visibleQuads;
std::vector<Vec2f> batchVertices;
std::vector<Vec2f> batchTexCoords;

// Every textured quad shows "image.png"; looked up once a draw rather than once a quad.
GLuint imageName() {
    const Texture* image = findTexture("image.png");
    return image != nullptr ? image->glName : 0;
}
GLuint textureName(const MapQuad& quad, GLuint image) { return quad.textured ? image : 0; }

// The current projection and model-view matrices as a 2D affine map from world units to
// normalised device coordinates, with the viewport; valid is false when they are not a plain
// 2D affine map with an inverse, in which case nothing may be culled or batched.
struct ViewMap {
    bool valid = false;
    double a = 0, b = 0, tx = 0;  // ndc.x = a x + b y + tx
    double c = 0, d = 0, ty = 0;  // ndc.y = c x + d y + ty
    double pixelX = 0, pixelY = 0;  // one viewport pixel in ndc
};

ViewMap currentViewMap() {
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
    ViewMap map;
    // A world point (x, y, 0, 1) must keep w = 1 and z = 0.
    if (m[3] != 0.0 || m[7] != 0.0 || m[15] != 1.0 || m[2] != 0.0 || m[6] != 0.0 || m[14] != 0.0) {
        return map;
    }
    map.a = m[0], map.b = m[4], map.tx = m[12];
    map.c = m[1], map.d = m[5], map.ty = m[13];
    const double det = map.a * map.d - map.b * map.c;
    if (!std::isfinite(det) || det == 0.0 || !std::isfinite(map.tx) || !std::isfinite(map.ty)) {
        return map;
    }
    if (viewport[2] <= 0 || viewport[3] <= 0) return map;
    map.pixelX = 2.0 / viewport[2];
    map.pixelY = 2.0 / viewport[3];
    map.valid = true;
    return map;
}

// The world rectangle that maps onto the viewport, with slack for the outlines' width.
void visibleWorldBox(const ViewMap& view, Vec2f& low, Vec2f& high) {
    const double det = view.a * view.d - view.b * view.c;
    const double reachX = 1.0 + kViewSlackPixels * view.pixelX;
    const double reachY = 1.0 + kViewSlackPixels * view.pixelY;
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (int corner = 0; corner < 4; ++corner) {
        const double nx = (corner & 1 ? reachX : -reachX) - view.tx;
        const double ny = (corner & 2 ? reachY : -reachY) - view.ty;
        const double x = (view.d * nx - view.b * ny) / det;
        const double y = (view.a * ny - view.c * nx) / det;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    // Rounded outward to float; a box that overflows float lists every quad.
    low = Vec2f{std::nextafter(static_cast<float>(minX), -HUGE_VALF),
                std::nextafter(static_cast<float>(minY), -HUGE_VALF)};
    high = Vec2f{std::nextafter(static_cast<float>(maxX), HUGE_VALF),
                 std::nextafter(static_cast<float>(maxY), HUGE_VALF)};
}

// Whether every corner lies well inside the viewport. Such quads need no clipping, and only
// draws that need none are rasterised exactly alike whether they hold one quad or many; a draw
// that clips any of its quads takes another path through the rasteriser for all of them.
bool wellInside(const ViewMap& view, const MapQuad& quad) {
    const double limitX = 1.0 - kInsidePixels * view.pixelX;
    const double limitY = 1.0 - kInsidePixels * view.pixelY;
    for (const Vec2f& v : quad.vertices) {
        const double x = view.a * v.x + view.b * v.y + view.tx;
        const double y = view.c * v.x + view.d * v.y + view.ty;
        if (!(std::fabs(x) < limitX && std::fabs(y) < limitY)) return false;
    }
    return true;
}

// The outline's colour says what the editor holds of the quad.
void setOutlineColour(const MapQuad& quad) {
    if (quad.editMode == -1) {
        glColor3f(1.0f, 0.0f, 0.0f);  // selected
    } else {
        glColor3f(0.8f, 0.6f, 0.0f);  // a drag mode is chosen
    }
}

// Assumes the vertex array is on and points at the quad's corners.
void drawOutlineLoop(const MapQuad& quad) {
    setOutlineColour(quad);
    glLineWidth(kOutlineWidth);
    glDrawArrays(GL_LINE_LOOP, 0, 4);
}

void drawOutline(const MapQuad& quad) {
    glDisable(GL_TEXTURE_2D);
    glVertexPointer(2, GL_FLOAT, 0, quad.vertices);
    drawOutlineLoop(quad);
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

void drawQuadWith(const MapQuad& quad, GLuint image) {
    glBindTexture(GL_TEXTURE_2D, textureName(quad, image));
    // Vec2f is two packed floats, so the corner arrays are the vertex arrays as they stand.
    static_assert(sizeof(Vec2f) == 2 * sizeof(float), "Vec2f must pack as (x, y)");
    glVertexPointer(2, GL_FLOAT, 0, quad.vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, quad.texCoords);
    glDrawArrays(GL_QUADS, 0, 4);
    if (quad.selected) drawOutline(quad);
}

}  // namespace

// Quads outside the view are skipped and the rest drawn in list order. Runs of quads well inside
// the view that share a texture go in one array draw; a quad across the view's edge is drawn on
// its own, and a selected quad ends its run so that its outline lands between it and the quads
// after it: the pixels are exactly those of drawing every quad with drawQuad.
void drawMap() {
    if (mapQuads().empty()) {
        visibleQuads.clear();
        return;
    }
    const ViewMap view = currentViewMap();
    Vec2f low{-HUGE_VALF, -HUGE_VALF}, high{HUGE_VALF, HUGE_VALF};  // lists every quad
    if (view.valid) visibleWorldBox(view, low, high);
    quadsInBox(low, high, visibleQuads);
    if (visibleQuads.empty()) return;

    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    GLuint batchTexture = 0;
    const GLuint image = imageName();
    for (int32_t index : visibleQuads) {
        const MapQuad& quad = getQuad(index);
        if (!view.valid || !wellInside(view, quad)) {
            flushBatch(batchTexture);
            drawQuadWith(quad, image);
            continue;
        }
        const GLuint texture = textureName(quad, image);
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

void drawQuad(const MapQuad& quad) { drawQuadWith(quad, imageName()); }

void drawCornerHandles() {
    if (!editorEnabled()) return;
    const std::vector<int32_t>& active = activeQuadIndices();
    const bool any = std::any_of(active.begin(), active.end(),
                                 [](int32_t i) { return getQuad(i).selected; });
    if (!any) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    for (int32_t i : active) {
        const MapQuad* quad = &getQuad(i);
        if (!quad->selected) continue;
        glVertexPointer(2, GL_FLOAT, 0, quad->vertices);
        const int32_t grab = hoverGrab(*quad);
        if (grab == kWholeQuadMode) {
            // The cursor rests on the quad after every click, so the hover must not take the
            // outline's place: the wide band goes first and the outline is drawn again over
            // its middle, leaving the hover showing on either side of it.
            glColor3f(1.0f, 0.9f, 0.45f);
            glLineWidth(kHoverOutlineWidth);
            glDrawArrays(GL_LINE_LOOP, 0, 4);
            drawOutlineLoop(*quad);
            glLineWidth(1.0f);
        }
        glColor3f(1.0f, 1.0f, 1.0f);
        glPointSize(kHandleSize);
        glDrawArrays(GL_POINTS, 0, 4);
        setOutlineColour(*quad);  // the handles' cores
        glPointSize(kHandleCoreSize);
        glDrawArrays(GL_POINTS, 0, 4);
        if (grab >= 0 && grab < kWholeQuadMode) {
            glColor3f(1.0f, 0.9f, 0.45f);
            glPointSize(kHoverHandleSize);
            glDrawArrays(GL_POINTS, grab, 1);
        }
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glPointSize(1.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
}

void drawMapShapes() {
    if (mapQuads().empty()) return;
    const ViewMap view = currentViewMap();
    Vec2f low{-HUGE_VALF, -HUGE_VALF}, high{HUGE_VALF, HUGE_VALF};
    if (view.valid) visibleWorldBox(view, low, high);
    quadsInBox(low, high, visibleQuads);
    batchVertices.clear();
    for (int32_t index : visibleQuads) {
        const MapQuad& quad = getQuad(index);
        batchVertices.insert(batchVertices.end(), quad.vertices, quad.vertices + 4);
    }
    if (batchVertices.empty()) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, batchVertices.data());
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(batchVertices.size()));
    glDisableClientState(GL_VERTEX_ARRAY);
    batchVertices.clear();
}

void drawRubberBand() {
    Vec2f from, to;
    if (!rubberBand(from, to)) return;
    const GLfloat corners[8] = {from.x, from.y, to.x, from.y, to.x, to.y, from.x, to.y};
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, corners);
    glColor4f(0.45f, 0.7f, 1.0f, 0.18f);
    glDrawArrays(GL_QUADS, 0, 4);
    glColor4f(0.55f, 0.8f, 1.0f, 0.95f);
    glDrawArrays(GL_LINE_LOOP, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void drawRefusedOutline(const Vec2f corners[4]) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, corners);
    glColor3f(1.0f, 0.3f, 0.2f);
    glLineWidth(kRefusedOutlineWidth);
    glDrawArrays(GL_LINE_LOOP, 0, 4);
    glLineWidth(1.0f);
    glDisableClientState(GL_VERTEX_ARRAY);
    glColor3f(1.0f, 1.0f, 1.0f);
}

int32_t drawnQuadCount() { return static_cast<int32_t>(visibleQuads.size()); }
