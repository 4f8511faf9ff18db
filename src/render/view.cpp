// view.cpp: the camera's projection and world transform as GL matrices.
#include "render/view.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "core/camera.h"

void applyWorldProjection() {
    const Vec2f view = viewSize();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // y grows downward on screen, so bottom is +h/2 and top -h/2.
    gluOrtho2D(-view.x / 2, view.x / 2, view.y / 2, -view.y / 2);
    glMatrixMode(GL_MODELVIEW);
}

void applyWorldTransform() {
    const Vec2f position = cameraPosition();
    const Vec2f scale = zoom();
    glRotatef(rotation(), 0.0f, 0.0f, 1.0f);
    glTranslatef(-position.x * scale.x, -position.y * scale.y, 0.0f);
    glScalef(scale.x, scale.y, 1.0f);
}
