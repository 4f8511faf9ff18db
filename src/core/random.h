// random.h: fractions and ranges drawn from the C library's rand(), the game's one random source.
#pragma once

// rand() / RAND_MAX as a float in [0, 1]; rand() runs up to RAND_MAX here, not 32767.
float randomFraction();
// lo + (hi - lo) * rand() / RAND_MAX, in whatever unit lo and hi are given.
float randomRange(float lo, float hi);
