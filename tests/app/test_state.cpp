// test_state.cpp: what the app tests put back after every case: the state of the layers they link.
#include "app/app_state.h"
#include "game/host.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromApp(testWindowOpen());
    installHost(headlessHost());
}
