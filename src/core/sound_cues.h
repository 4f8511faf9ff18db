// sound_cues.h: the moments the game wants heard (impacts, bursts, rockets), queued as plain
// records for whatever plays sound to take. Nothing in the simulation reads the queue, so what
// is queued, taken or dropped can never change a step.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Named: a sound a level's script asked for by name (its index in the level's sounds, or one of
// the game's own, below), at its own gain.
enum class SoundCueKind : uint8_t { Impact, Burst, Rocket, Named };
// The game's own sounds as a Named cue's sound: minus these.
enum class OwnSound : int32_t { Impact = -1, Thud = -2, Burst = -3, Rocket = -4 };

struct SoundCue {
    SoundCueKind kind = SoundCueKind::Impact;
    float x = 0.0f, y = 0.0f;  // world units
    float impulse = 0.0f;      // impacts: the contact's normal impulse, N*s
    float mass = 0.0f;         // impacts: the mass of the dynamic bodies that met, kg
    int32_t sound = 0;         // named: the level sound's index, or a negative OwnSound
    float gain = 1.0f;         // named: 0 to 1
    bool placed = true;        // named: false is heard from the middle of the view
};

constexpr size_t kMaxSoundCues = 64;  // per take; more is noise nobody could tell apart

// Queues cue. A full queue keeps the strongest impacts: the new cue replaces the weakest
// impact when it is a burst, a rocket or a stronger impact, and is dropped otherwise.
void cueSound(const SoundCue& cue);
// Moves everything queued since the last take into cues (replacing its contents), oldest
// first, and empties the queue.
void takeSoundCues(std::vector<SoundCue>& cues);
void clearSoundCues();
