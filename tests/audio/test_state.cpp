// test_state.cpp: what the audio tests put back after every case: the state of the layers they link.
#include "audio/audio_state.h"
#include "game/host.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromAudio(testWindowOpen());
    installHost(headlessHost());
}
