// render_state.h: the render layer's module state back to where a new process starts. Every layer
// has one such pair; shutdownGame and the tests' resets call them, so the list of what a layer
// holds is written once, beside the layer.
#pragma once

// The queued shapes and every sheet record, with their GL textures and the fonts' when
// the context is current.
void resetRenderState(bool glContextCurrent);
// This layer and every layer below it, the upper ones first (actors go before their world).
void resetLayersFromRender(bool glContextCurrent);
