// test_state.cpp: what the core tests put back after every case: the state of the layers they link.
#include "core/core_state.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromCore();
}
