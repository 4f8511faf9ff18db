// test_state.cpp: what the script tests put back after every case: the state of the layers they link.
#include "game/host.h"
#include "script/script_state.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromScript(testWindowOpen());
    installHost(headlessHost());
}
