// core_state.h: the core layer's module state back to where a new process starts. Every layer
// has one such pair; shutdownGame and the tests' resets call them, so the list of what a layer
// holds is written once, beside the layer.
#pragma once

// The camera, the held keys, the generator at seed 0 and the queued sound cues.
void resetCoreState();
// This layer and every layer below it, the upper ones first (actors go before their world).
void resetLayersFromCore();
