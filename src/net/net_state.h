// net_state.h: the network layer's module state back to where a new process starts: no session
// hosted or joined. Every layer has one such pair; the app's end and the tests' resets call them.
#pragma once

void resetNetState();
// This layer and every layer below it, the upper ones first.
void resetLayersFromNet(bool glContextCurrent);
