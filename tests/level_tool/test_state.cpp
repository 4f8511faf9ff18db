// test_state.cpp: what the level tool tests put back after every case: the session layer and
// every layer below it.
#include "game/host.h"
#include "session/session_state.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromSession(testWindowOpen());
    installHost(headlessHost());
}
