// audio_state.h: the audio layer's module state back to where a new process starts: the output
// device closed and the sounds freed. Every layer has one such pair; the app's end and the tests'
// resets call them.
#pragma once

void resetAudioState();
// This layer and every layer below it, the upper ones first.
void resetLayersFromAudio(bool glContextCurrent);
