// test_state.cpp: what the physics tests put back after every case: the state of the layers they link.
#include "physics/physics_state.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromPhysics();
}
