// background.cpp: the background tile, repeated every 512 world units and locked to the world.
#include "render/background.h"

#include <GL/gl.h>

#include "core/camera.h"
#include "render/texture.h"

namespace {
constexpr float kRepeatFactor = 1.0f / 512.0f;  // texture repeats per world unit
}  // namespace

BackgroundQuad backgroundQuad(Vec2f camera, Vec2f view) {
    const float cx = camera.x, cy = camera.y;
    const float w = view.x, h = view.y;
    const float s0 = cx * (w * kRepeatFactor) / w;
    const float t0 = cy * (h * kRepeatFactor) / h;
    const float s1 = s0 + w * kRepeatFactor;
    const float t1 = t0 + h * kRepeatFactor;
    return BackgroundQuad{{s0, t0, s1, t0, s1, t1, s0, t1},
                          {cx - w / 2, cy - h / 2, cx + w / 2, cy - h / 2, cx + w / 2,
                           cy + h / 2, cx - w / 2, cy + h / 2}};
}

void drawBackground() {
    // The world area the window shows: the view divided by the zoom.
    const Vec2f view = viewSize(), scale = zoom();
    const Vec2f shown = scale.x > 0.0f && scale.y > 0.0f ? Vec2f{view.x / scale.x, view.y / scale.y} : view;
    const BackgroundQuad quad = backgroundQuad(cameraPosition(), shown);
    const Texture* background = findTexture("background.png");
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);  // opaque: nothing lies behind it
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, background != nullptr ? background->glName : 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, quad.vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, quad.texCoords);
    glDrawArrays(GL_QUADS, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    // Other sheets sharing the loader's defaults expect clamped edges.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}
