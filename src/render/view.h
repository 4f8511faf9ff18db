// view.h: the camera turned into GL matrices.
#pragma once

// Loads the world projection (the view size in world units, y down) into GL_PROJECTION and
// leaves GL_MODELVIEW current.
void applyWorldProjection();
// Multiplies the camera's rotation, position and zoom onto the current model-view matrix; the
// caller pushes and pops it.
void applyWorldTransform();
