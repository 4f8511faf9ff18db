// test_state.cpp: what the lighting tests put back after every case: the state of the layers they link.
#include "lighting/lighting_state.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromLighting(testWindowOpen());
}
