// render_state.cpp: the render layer's resets.
#include "render/render_state.h"

#include "core/core_state.h"
#include "render/font.h"
#include "render/shape_queue.h"
#include "render/texture.h"

void resetRenderState(bool glContextCurrent) {
    emptyShapeQueues();
    if (glContextCurrent) releaseFontTextures();
    unloadAllTextures(glContextCurrent);
}

void resetLayersFromRender(bool glContextCurrent) {
    resetRenderState(glContextCurrent);
    resetLayersFromCore();
}
