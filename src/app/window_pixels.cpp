// window_pixels.cpp: the window-pixel projection pushed and popped around a drawing.
#include "app/window_pixels.h"

#include <GL/freeglut.h>

#include "core/camera.h"

void drawInWindowPixels(void (*draw)(Vec2f window)) {
    const Vec2f window = windowSize();
    if (window.x <= 0.0f || window.y <= 0.0f) return;
    GLint callerMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &callerMode);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0.0, window.x, window.y, 0.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    draw(window);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    // Back in the mode the caller drew in, so the caller's own pops undo its own pushes.
    glMatrixMode(static_cast<GLenum>(callerMode));
}
