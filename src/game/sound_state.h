// sound_state.h: what the game shows a sound player besides its cues: the mute switch and each
// car's engine. Read-only views of the game; nothing here feeds back into a step.
#pragma once
#include <cstdint>
#include <vector>

bool soundMuted();  // off at start
void toggleSoundMuted();
void unmuteSound();  // a new game starts audible

// One car's engine, as the sound of it follows it.
struct EngineState {
    int32_t carId = 0;     // the car's actor id: the same engine from frame to frame
    float x = 0.0f, y = 0.0f;  // world units
    float speed = 0.0f;    // m/s of the car's centre
    bool throttle = false;  // w or s held: the car is being driven
};
// Every live car's engine, in the actor list's order, into engines (replacing its contents; its
// capacity is kept, so a caller that keeps the vector allocates nothing frame to frame).
void carEngines(std::vector<EngineState>& engines);
