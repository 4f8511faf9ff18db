// test_state.cpp: what the net tests put back after every case: the session layer and below.
#include "support/test_state.h"

void resetTestState() { resetSessionState(); }
