// net_state.cpp: the network layer's resets.
#include "net/net_state.h"

#include "game/game_state.h"
#include "net/net_session.h"

void resetNetState() { stopNetwork(); }

void resetLayersFromNet(bool glContextCurrent) {
    resetNetState();
    resetLayersFromGame(glContextCurrent);
}
