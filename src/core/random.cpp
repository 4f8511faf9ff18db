// random.cpp: the counted rand() and its fractions scaled by RAND_MAX.
#include "core/random.h"

#include <cstdlib>

namespace {
constexpr float kRandMax = static_cast<float>(RAND_MAX);
uint64_t drawn = 0;
}  // namespace

void seedRandom(unsigned seed) {
    std::srand(seed);
    drawn = 0;
}

int nextRandom() {
    ++drawn;
    return std::rand();
}

uint64_t randomCount() { return drawn; }

float randomFraction() { return static_cast<float>(nextRandom()) / kRandMax; }

float randomRange(float lo, float hi) {
    return lo + (hi - lo) * static_cast<float>(nextRandom()) / kRandMax;
}
