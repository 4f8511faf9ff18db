// sound_player.h: plays what the game cues and its cars' engines through OpenAL, positioned
// around the view's centre. Output only: it reads the game and never changes it.
#pragma once
#include <cstdint>

// The sounds, each loaded from the working folder as <name>.ogg, <name>.flac or <name>.wav
// (the first found), so a player's own file takes the place of the starter one.
enum class SoundName { Impact, Thud, Engine, Burst, Rocket, Count };
const char* soundFileStem(SoundName name);  // "impact"

constexpr int32_t kMaxVoices = 16;  // sounds playing at once, engines included

// Opens the default output device and loads the sounds. With no device, writes
// "Sound off: no audio device" on standard error, and every call below does nothing. A missing
// or damaged sound file gets one line on standard error and stays silent.
bool startAudio();
// The same on a loopback device mixing sampleRate Hz float stereo for renderAudio; prints nothing
// when there is none. For tests and tools that listen to the mix.
bool startLoopbackAudio(int32_t sampleRate);
// The next frames of a loopback mix, left and right interleaved (2 * frames samples), full scale
// at -1..1.
void renderAudio(float* stereo, int32_t frames);
// Once a frame: starts the cued sounds, follows the cars, moves the listener to the view's
// centre, applies the mute switch.
void updateAudio();
// Stops every sound, frees the sounds and closes the device.
void stopAudio();
bool audioRunning();
int32_t playingVoices();  // sources playing now
