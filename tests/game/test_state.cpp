// test_state.cpp: what the game tests put back after every case: the state of the layers they link.
#include "game/game_state.h"
#include "game/host.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromGame(testWindowOpen());
    installHost(headlessHost());
}
