// sandbox_limits.h: how many actors the sandbox holds. Crates expire, but cars stay, and a pile
// of a thousand cars on the spawn point costs seconds a step; each limit is far beyond what a
// player builds by hand, and reaching it says so instead of slowing the game to a halt.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int32_t kMaxCars = 50;
constexpr size_t kMaxActors = 100000;  // crates, cars and rockets together

// True when the sandbox can take one more actor; otherwise shows why (what names the actor).
bool roomForActor(const char* what);
// Key 1: a car at the spawn point, unless a limit is reached (said on screen and standard error).
void dropCar();
