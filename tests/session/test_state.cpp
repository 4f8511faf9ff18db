// test_state.cpp: what the session tests put back after every case: the state of the layers they link.
#include "game/host.h"
#include "session/session_state.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromSession(testWindowOpen());
    installHost(headlessHost());
}
