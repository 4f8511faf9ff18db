// loop_stats.cpp: the per-second line of loop figures, written only when asked for.
#include "app/loop_stats.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "game/main_loop.h"

namespace {
struct LoopStats {
    std::FILE* file = nullptr;
    int32_t publishedAt = 0;  // nextSecond at the last line
    int32_t drawn = 0;        // frames drawn since the last line
    bool anyDrawn = false;    // the first frame was told
};
LoopStats stats;
}  // namespace

void openLoopStats() {
    const char* path = std::getenv("KELVORAN_LOOP_STATS");
    if (path == nullptr || *path == '\0' || stats.file != nullptr) return;
    stats.file = std::fopen(path, "a");
    stats.publishedAt = frameScheduler().nextSecond;
}

void countDrawnFrame() {
    ++stats.drawn;
    if (stats.file == nullptr || stats.anyDrawn) return;
    stats.anyDrawn = true;
    std::fputs("first frame\n", stats.file);  // start-up timed from outside ends here
    std::fflush(stats.file);
}

void reportLoopSecond() {
    const FrameScheduler& loop = frameScheduler();
    if (stats.file == nullptr || loop.nextSecond == stats.publishedAt) return;
    stats.publishedAt = loop.nextSecond;
    std::fprintf(stats.file, "passes %d steps %d frames %d drawn %d\n", loop.passesPerSecond,
                 loop.stepsPerSecond, loop.framesPerSecond, stats.drawn);
    std::fflush(stats.file);  // read while the game runs
    stats.drawn = 0;
}

void closeLoopStats() {
    if (stats.file != nullptr) std::fclose(stats.file);
    stats = LoopStats();
}
