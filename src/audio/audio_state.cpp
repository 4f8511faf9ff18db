// audio_state.cpp: the audio layer's resets.
#include "audio/audio_state.h"

#include "audio/sound_player.h"
#include "game/game_state.h"

void resetAudioState() { stopAudio(); }

void resetLayersFromAudio(bool glContextCurrent) {
    resetAudioState();
    resetLayersFromGame(glContextCurrent);
}
