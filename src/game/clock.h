// clock.h: the one clock every part of the logic reads, the host's, and the time of the latest
// loop pass, which whatever is timed within a pass (the messages) reads instead of the clock, so
// that a frame drawn with or without a window reads the clock equally often.
#pragma once
#include <cstdint>

int32_t readClock();  // milliseconds since start-up
int32_t passTime();   // the clock reading the latest pass took (0 before the first)
void notePassTime(int32_t ms);
