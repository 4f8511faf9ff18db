// test_state.cpp: what the map tests put back after every case: the state of the layers they link.
#include "map/map_state.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromMap(testWindowOpen());
}
