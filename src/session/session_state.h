// session_state.h: the session layer's module state back to where a new process starts: no
// recording open. Every layer has one such pair; the app's end and the tests' resets call them.
#pragma once

void resetSessionState();
// This layer and every layer below it, the upper ones first.
void resetLayersFromSession(bool glContextCurrent);
