// sprite.cpp: immediate drawing of one sheet frame, and of the whole car image on a centred quad.
#include "render/sprite.h"

#include <GL/gl.h>

namespace {
const float kUnitQuad[8] = {-1.0f, -1.0f, 1.0f, -1.0f, 1.0f, 1.0f, -1.0f, 1.0f};
const float kWholeImage[8] = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f};

// The frame's first vertex, or -1 when the sheet has no frames to draw. A negative frame wraps
// like a positive one instead of reading before the arrays.
int32_t firstVertexOf(const Texture& texture, int32_t frame) {
    if (texture.frameCount <= 0 || texture.vertices.size() < 8u * texture.frameCount) return -1;
    int32_t k = frame % texture.frameCount;
    if (k < 0) k += texture.frameCount;
    return 4 * k;
}

void beginSheet(const Texture& texture) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture.glName);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_INT, 0, texture.vertices.data());
    glTexCoordPointer(2, GL_FLOAT, 0, texture.texCoords.data());
}

void endSheet() {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
}
}  // namespace

void drawSprite(const Texture& texture, int32_t frame, float x, float y, float scaleX,
                float scaleY, float angle) {
    const int32_t first = firstVertexOf(texture, frame);
    if (first < 0) return;
    beginSheet(texture);
    glPushMatrix();
        glTranslatef(x, y, 0.0f);
        glRotatef(angle, 0.0f, 0.0f, 0.5f);  // +x toward +y on the y-down screen
        glScalef(scaleX, scaleY, 1.0f);
        glDrawArrays(GL_QUADS, first, 4);
    glPopMatrix();
    endSheet();
}

void drawSpriteFrame(const Texture& texture, int32_t frame, float x, float y) {
    const int32_t first = firstVertexOf(texture, frame);
    if (first < 0) return;
    beginSheet(texture);
    glPushMatrix();
        glTranslatef(x, y, 0.0f);
        glDrawArrays(GL_QUADS, first, 4);
    glPopMatrix();
    endSheet();
}

void drawCarImage(int32_t x, int32_t y, int32_t halfWidth, int32_t halfHeight, float angle) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, carTexture() != nullptr ? carTexture()->glName : 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, kUnitQuad);
    glTexCoordPointer(2, GL_FLOAT, 0, kWholeImage);
    glPushMatrix();
        glTranslatef(static_cast<float>(x), static_cast<float>(y), 0.0f);
        // About -z: the car image turns the other way from every sheet sprite.
        if (angle != 0.0f) glRotatef(angle, 0.0f, 0.0f, -1.0f);
        glScalef(static_cast<float>(halfWidth), static_cast<float>(halfHeight), 1.0f);
        glDrawArrays(GL_QUADS, 0, 4);
    glPopMatrix();
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
}
