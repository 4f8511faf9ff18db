// random.cpp: fractions of rand() scaled by RAND_MAX.
#include "core/random.h"

#include <cstdlib>

namespace {
constexpr float kRandMax = static_cast<float>(RAND_MAX);
}  // namespace

float randomFraction() { return static_cast<float>(std::rand()) / kRandMax; }

float randomRange(float lo, float hi) {
    return lo + (hi - lo) * static_cast<float>(std::rand()) / kRandMax;
}
