// test_state.cpp: what the actors tests put back after every case: the state of the layers they link.
#include "actors/actors_state.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromActors(testWindowOpen());
}
