// lighting_state.h: the lighting layer's module state back to where a new process starts. Every layer
// has one such pair; shutdownGame and the tests' resets call them, so the list of what a layer
// holds is written once, beside the layer.
#pragma once

// The light scissor on and the written unlit level.
void resetLightingState();
// This layer and every layer below it, the upper ones first (actors go before their world).
void resetLayersFromLighting(bool glContextCurrent);
