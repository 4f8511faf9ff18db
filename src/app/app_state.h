// app_state.h: the shell's own module state back to where a new process starts, and with it every
// layer below. The window's end and the tests' resets call it, so the list is written once.
#pragma once

// The frame timings, the timing overlay's cache (its texture with the context current) and the
// level overlay's notes.
void resetAppState(bool glContextCurrent);
// This layer and every layer below it, the upper ones first: the network and the recorder close,
// the sound stops, then the game and everything under it.
void resetLayersFromApp(bool glContextCurrent);
