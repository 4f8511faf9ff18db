// app_state.cpp: the shell's resets.
#include "app/app_state.h"

#include "app/frame_timing.h"
#include "app/level_overlay.h"
#include "app/timing_overlay.h"
#include "audio/audio_state.h"
#include "net/net_state.h"
#include "session/session_state.h"

void resetAppState(bool glContextCurrent) {
    resetTiming();
    if (glContextCurrent) releaseTimingOverlay();
    resetLevelOverlay();
}

void resetLayersFromApp(bool glContextCurrent) {
    resetAppState(glContextCurrent);
    resetNetState();
    resetAudioState();
    resetLayersFromSession(glContextCurrent);
}
