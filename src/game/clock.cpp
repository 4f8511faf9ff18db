// clock.cpp: the host's clock and the latest pass's reading of it.
#include "game/clock.h"

#include "game/host.h"

namespace {
int32_t latestPass = 0;
}  // namespace

int32_t readClock() { return host().clock(); }
int32_t passTime() { return latestPass; }
void notePassTime(int32_t ms) { latestPass = ms; }
