// frame_floor.cpp: a game frame's GL calls in order, straight from prepared arrays.
#include "frame_floor.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

namespace {

const float kUnitQuad[8] = {-1, -1, 1, -1, 1, 1, -1, 1};
const float kWholeImage[8] = {0, 0, 1, 0, 1, 1, 0, 1};

void worldMatrices(const FloorScene& s) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(-s.viewW / 2, s.viewW / 2, s.viewH / 2, -s.viewH / 2);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glRotatef(s.rotation, 0, 0, 1);
    glTranslatef(-s.cameraX * s.zoomX, -s.cameraY * s.zoomY, 0);
    glScalef(s.zoomX, s.zoomY, 1);
}

void lightQuad(const FloorLight& l, float scale) {
    glPushMatrix();
    glTranslatef(l.x, l.y, 0);
    glRotatef(l.angle, 0, 0, 1);
    if (scale != 1.0f) glScalef(scale, scale, 1);
    glDrawArrays(GL_QUADS, 0, 4);
    glPopMatrix();
}

void untextured(GLint first, GLsizei count) {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDrawArrays(GL_QUADS, first, count);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

void fullLight(const FloorLight& l) {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilFunc(GL_EQUAL, 0, 0xFFFF);
    glEnable(GL_TEXTURE_2D);
    glColor4f(l.red, l.green, l.blue, 1);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    lightQuad(l, 1);
}

void light(const FloorLight& l) {
    if (l.scissor) glScissor(l.box[0], l.box[1], l.box[2], l.box[3]);
    glVertexPointer(2, GL_INT, 0, l.coords.data());
    const GLsizei n = 4 * l.casterCount;
    glDisable(GL_TEXTURE_2D);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilOp(GL_ZERO, GL_ZERO, GL_ZERO);
    lightQuad(l, 1);
    if (n == 0) {
        fullLight(l);
        return;
    }
    glStencilFunc(GL_ALWAYS, 1, 1);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    untextured(4, n);
    untextured(l.half + 4, n);
    fullLight(l);
    glDisable(GL_TEXTURE_2D);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilOp(GL_ZERO, GL_ZERO, GL_ZERO);
    untextured(l.half + 4, n);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    glStencilFunc(GL_EQUAL, 0, 0xFFFF);
    glEnable(GL_TEXTURE_2D);
    glColor4f(l.red, l.green, l.blue, 0.55f);
    lightQuad(l, 0.88f);
}

void lightmap(const FloorScene& s) {
    glViewport(0, 0, s.lightmapSize, s.lightmapSize);
    worldMatrices(s);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_STENCIL_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    bool scissor = false;
    for (const FloorLightSheet& sheet : s.lightSheets) {
        glBindTexture(GL_TEXTURE_2D, sheet.sheet.glName);
        glTexCoordPointer(2, GL_FLOAT, 0, sheet.sheet.texCoords);
        for (const FloorLight& l : sheet.lights) {
            if (l.scissor && !scissor) glEnable(GL_SCISSOR_TEST);
            scissor = scissor || l.scissor;
            light(l);
        }
    }
    if (scissor) glDisable(GL_SCISSOR_TEST);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glColor4f(1, 1, 1, 1);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPopMatrix();
    glBindTexture(GL_TEXTURE_2D, s.lightmapTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, s.lightmapSize, s.lightmapSize);
    glViewport(0, 0, s.windowW, s.windowH);
}

void background(const FloorScene& s) {
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, s.background);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, s.backgroundVertices);
    glTexCoordPointer(2, GL_FLOAT, 0, s.backgroundTexCoords);
    glDrawArrays(GL_QUADS, 0, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glEnable(GL_BLEND);
}

void map(const FloorScene& s) {
    for (const FloorMapDraw& d : s.map) {
        glBindTexture(GL_TEXTURE_2D, d.glName);
        glVertexPointer(2, GL_FLOAT, 0, d.vertices.data());
        glTexCoordPointer(2, GL_FLOAT, 0, d.texCoords.data());
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(d.vertices.size() / 2));
    }
}

void sprites(const FloorScene& s) {
    for (const FloorSpriteSheet& sheet : s.sprites) {
        glBindTexture(GL_TEXTURE_2D, sheet.sheet.glName);
        glVertexPointer(2, GL_INT, 0, sheet.sheet.vertices);
        glTexCoordPointer(2, GL_FLOAT, 0, sheet.sheet.texCoords);
        for (const FloorSpritePass& pass : sheet.passes) {
            if (pass.additive) {
                glBlendFunc(GL_SRC_ALPHA, GL_ONE);
                if (pass.alpha != 1.0f) glColor4f(1, 1, 1, pass.alpha);
            }
            for (const FloorSprite& sprite : pass.sprites) {
                glPushMatrix();
                glTranslatef(sprite.x, sprite.y, 0);
                glRotatef(sprite.angle, 0, 0, 0.5f);
                glDrawArrays(GL_QUADS, sprite.firstVertex, 4);
                glPopMatrix();
            }
            if (pass.additive) {
                if (pass.alpha != 1.0f) glColor4f(1, 1, 1, 1);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            }
        }
    }
}

void carImage(const FloorScene& s) {
    glBindTexture(GL_TEXTURE_2D, s.carImage);
    glVertexPointer(2, GL_FLOAT, 0, kUnitQuad);
    glTexCoordPointer(2, GL_FLOAT, 0, kWholeImage);
    glPushMatrix();
    glTranslatef(s.carX, s.carY, 0);
    glScalef(s.carHalfW, s.carHalfH, 1);
    glDrawArrays(GL_QUADS, 0, 4);
    glPopMatrix();
}

void composite(const FloorScene& s) {
    const float w = s.viewW / 2, h = s.viewH / 2;
    const GLfloat corners[8] = {-w, h, w, h, w, -h, -w, -h};
    glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
    glColor4f(1, 1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, s.lightmapTexture);
    glVertexPointer(2, GL_FLOAT, 0, corners);
    glTexCoordPointer(2, GL_FLOAT, 0, kWholeImage);
    glPushMatrix();
    glTranslatef(s.cameraX, s.cameraY, 0);
    glRotatef(-s.rotation, 0, 0, 1);
    glDrawArrays(GL_QUADS, 0, 4);
    glPopMatrix();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void hud(const FloorScene& s) {
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0.0, s.viewW, s.viewH, 0.0);
    for (const FloorHudSprite& sprite : s.hud) {
        glBindTexture(GL_TEXTURE_2D, sprite.sheet.glName);
        glVertexPointer(2, GL_INT, 0, sprite.sheet.vertices);
        glTexCoordPointer(2, GL_FLOAT, 0, sprite.sheet.texCoords);
        glPushMatrix();
        glTranslatef(sprite.x, sprite.y, 0);
        if (!sprite.plain) {
            glRotatef(sprite.angle, 0, 0, 0.5f);
            glScalef(sprite.scale, sprite.scale, 1);
        }
        glDrawArrays(GL_QUADS, sprite.firstVertex, 4);
        glPopMatrix();
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glRasterPos2f(10, 10);
    glutBitmapString(GLUT_BITMAP_9_BY_15, reinterpret_cast<const unsigned char*>(s.text.c_str()));
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

}  // namespace

// The game switches texturing and client arrays on and off around every layer and sprite; the
// floor keeps them on from the background to the HUD, which changes no pixel.
void drawFloorFrame(const FloorScene& scene) {
    glClear(GL_COLOR_BUFFER_BIT);
    lightmap(scene);
    worldMatrices(scene);
    glColor3f(1, 1, 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    background(scene);
    map(scene);
    sprites(scene);
    carImage(scene);
    composite(scene);
    glPopMatrix();
    hud(scene);
    glDisable(GL_BLEND);
    glutSwapBuffers();
}
