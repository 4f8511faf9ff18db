// game_state.h: the game layer's module state back to where a new process starts. Every layer
// has one such pair; shutdownGame and the tests' resets call them, so the list of what a layer
// holds is written once, beside the layer.
#pragma once

// The sandbox, the level's script and what it set, the edit feedback, the view, the grab, the
// input and its scheduled commands, the panels and overlays, the scheduler and the checks.
void resetGameState(bool glContextCurrent);
// This layer and every layer below it, the upper ones first (actors go before their world).
void resetLayersFromGame(bool glContextCurrent);
