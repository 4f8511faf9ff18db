// map_state.h: the map layer's module state back to where a new process starts. Every layer
// has one such pair; shutdownGame and the tests' resets call them, so the list of what a layer
// holds is written once, beside the layer.
#pragma once

// The edit history, the clipboard, the editor, the quads (their fixtures while their world
// stands) and their index.
void resetMapState();
// This layer and every layer below it, the upper ones first (actors go before their world).
void resetLayersFromMap(bool glContextCurrent);
