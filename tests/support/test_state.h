// test_state.h: what a test program puts back after every case, so that the next case, and the
// next round of --gtest_repeat, finds the game as a new process would. Each folder's
// test_state.cpp calls its layer's resetLayersFrom... (the same list the game's shutdown runs,
// written once beside each layer), then puts back the default host where the game layer is
// linked. A program resets its own layer and those below only (it links nothing above).
#pragma once

#include "support/gl_window.h"

// Defined by each test folder (tests/<folder>/test_state.cpp) as its own layer's reset; the one
// test main calls it after every case.
void resetTestState();
