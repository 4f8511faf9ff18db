// test_state.cpp: what the net tests put back after every case: the session layer and below.
#include "game/host.h"
#include "net/net_state.h"
#include "session/session_state.h"
#include "support/test_state.h"

void resetTestState() {
    resetNetState();
    resetLayersFromSession(testWindowOpen());
    installHost(headlessHost());
}
