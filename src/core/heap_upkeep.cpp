// heap_upkeep.cpp: glibc's malloc tuned and trimmed for a long-running game.
#include "core/heap_upkeep.h"

#include <malloc.h>

namespace {
constexpr int kMmapThreshold = 128 * 1024;  // glibc's own starting value, kept fixed
constexpr int kTrimThreshold = 256 * 1024;
}  // namespace

void pinHeapThresholds() {
    mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
}

void returnFreedHeap() { malloc_trim(0); }
