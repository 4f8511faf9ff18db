// state_hash.h: one 64-bit fingerprint of everything the game's future depends on, and a short
// readable account of the same state.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>

#include "core/state_hasher.h"
#include "render/sheet_queues.h"

// FNV-1a over the bytes of every actor (kind, pose, velocities, age, body pose and velocities),
// every map quad (corners, texture corners, centre, tag, selection, edit mode, fixture), the
// editor flag, the camera, the held keys and the mouse, the loop's timers, every sheet's effects
// and queues, the count of random numbers drawn, and a body held by the right button (nothing
// when none is held).
uint64_t stateHash();
// The part of the state every peer of a shared session holds alike: the step number and the
// state hash's fields less this program's own window, view, clock and drawing queues.
uint64_t sharedStateHash();
// The hash as 16 lower-case hex digits.
std::string formatHash(uint64_t hash);
// A few lines: actors by kind, quads, camera, effects and random numbers drawn.
void describeState(std::ostream& out);

// One effect's every field, in the order the state hash takes them.
void hashBurst(StateHasher& h, const Burst& burst);
void hashFlicker(StateHasher& h, const Flicker& flicker);
