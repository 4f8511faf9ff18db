// random.h: the game's one random source, the C library's rand(), behind one counting call.
#pragma once
#include <cstdint>

// Seeds rand() and sets the count of drawn numbers back to 0.
void seedRandom(unsigned seed);
// One std::rand() value (0 .. RAND_MAX); every random draw of the game goes through here.
int nextRandom();
// How many numbers nextRandom has drawn since the last seedRandom.
uint64_t randomCount();

// rand() / RAND_MAX as a float in [0, 1]; rand() runs up to RAND_MAX here, not 32767.
float randomFraction();
// lo + (hi - lo) * rand() / RAND_MAX, in whatever unit lo and hi are given.
float randomRange(float lo, float hi);
