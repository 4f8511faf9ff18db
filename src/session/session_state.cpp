// session_state.cpp: the session layer's resets.
#include "session/session_state.h"

#include "script/script_state.h"
#include "session/recording.h"

void resetSessionState() { resetRecorder(); }

void resetLayersFromSession(bool glContextCurrent) {
    resetSessionState();
    resetLayersFromScript(glContextCurrent);
}
