// test_state.cpp: the level layer keeps no state; the layers below it are put back.
#include "support/test_state.h"

void resetTestState() {}
