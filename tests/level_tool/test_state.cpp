// test_state.cpp: what the level tool tests put back after every case: the session layer and
// every layer below it.
#include "support/test_state.h"

void resetTestState() { resetSessionState(); }
