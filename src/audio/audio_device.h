// audio_device.h: the one OpenAL output device and its context: the system's default device for
// play, or a loopback device that mixes into the caller's buffers, so tests hear the mix with no
// sound card.
#pragma once
#include <cstdint>

// Opens the default output device and makes its context current. False when no device opens;
// the audio system's own complaints on standard error are kept quiet while it tries.
bool openDefaultDevice();
// Opens a loopback device mixing float stereo at sampleRate Hz, undithered and with its limiter
// off, so that silence is exactly 0 and a mix that would clip shows samples beyond -1..1.
// False when the OpenAL library offers no loopback.
bool openLoopbackDevice(int32_t sampleRate);
// Mixes the next frames into stereo (left, right interleaved: 2 * frames samples). Loopback
// devices only; silence otherwise.
void renderLoopback(float* stereo, int32_t frames);
bool audioDeviceOpen();
// Closes the context and device; nothing happens when none is open.
void closeAudioDevice();
