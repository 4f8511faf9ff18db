// map_draw.cpp: the map quads, textured, with an outline on selected ones, and their corner handles.
#include "map/map_draw.h"

#include <GL/gl.h>

#include "map/map_editor.h"
#include "map/map_quad.h"
#include "render/texture.h"

namespace {
constexpr float kOutlineWidth = 1.5f;  // pixels
constexpr float kHandleSize = 7.0f;    // pixels, a white square
constexpr float kHandleCoreSize = 3.0f;  // pixels, in the outline's colour

}  // namespace

void drawMap() {
    // The state is switched per quad rather than once around the loop, so each quad is drawn
    // from the same resting state whatever the previous one left.
    for (const auto& quad : mapQuads) {
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            drawQuad(*quad);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisable(GL_TEXTURE_2D);
    }
}

void drawQuad(const MapQuad& quad) {
    glBindTexture(GL_TEXTURE_2D, quad.texture != nullptr ? quad.texture->glName : 0);
    // Vec2f is two packed floats, so the corner arrays are the vertex arrays as they stand.
    static_assert(sizeof(Vec2f) == 2 * sizeof(float), "Vec2f must pack as (x, y)");
    glVertexPointer(2, GL_FLOAT, 0, quad.vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, quad.texCoords);
    glDrawArrays(GL_QUADS, 0, 4);
    if (!quad.selected) return;

    glDisable(GL_TEXTURE_2D);
    if (quad.editMode == -1) {
        glColor3f(1.0f, 0.0f, 0.0f);  // selected
    } else {
        glColor3f(0.8f, 0.6f, 0.0f);  // a drag mode is chosen
    }
    glLineWidth(kOutlineWidth);
    glDrawArrays(GL_LINE_LOOP, 0, 4);
    glColor3f(1.0f, 1.0f, 1.0f);
    glLineWidth(1.0f);
    glEnable(GL_TEXTURE_2D);
}

void drawCornerHandles() {
    if (!editorEnabled) return;
    bool any = false;
    for (const auto& quad : mapQuads) any = any || quad->selected;
    if (!any) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    for (const auto& quad : mapQuads) {
        if (!quad->selected) continue;
        glVertexPointer(2, GL_FLOAT, 0, quad->vertices);
        glColor3f(1.0f, 1.0f, 1.0f);
        glPointSize(kHandleSize);
        glDrawArrays(GL_POINTS, 0, 4);
        if (quad->editMode == -1) {
            glColor3f(1.0f, 0.0f, 0.0f);  // the outline's colours
        } else {
            glColor3f(0.8f, 0.6f, 0.0f);
        }
        glPointSize(kHandleCoreSize);
        glDrawArrays(GL_POINTS, 0, 4);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glPointSize(1.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
}
