// frame_timing.cpp: per-second sums and maxima of the measured parts, and a ring of frame times.
#include "app/frame_timing.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace {
constexpr double kSecondMs = 1000.0;

struct Accumulator {
    double sum = 0.0, max = 0.0;
    int64_t count = 0;
};

struct TimingState {
    std::array<Accumulator, kTimedParts> current{};
    std::array<TimingFigure, kTimedParts> shown{};
    uint64_t generation = 0;        // publications so far
    double secondStart = -1.0;      // timingClockMs of the running second; < 0 before the first
    double frameSinceLastPass = 0;  // ms of frames drawn inside the pass being measured
    std::array<float, kFrameHistory> history{};
    size_t historyNext = 0, historyCount = 0;
    DrawnCounts drawn;
};
TimingState timing;

void add(TimedPart part, double total, int64_t count, double largest) {
    Accumulator& a = timing.current[static_cast<size_t>(part)];
    a.sum += total;
    a.count += count;
    a.max = std::max(a.max, largest);
}
void add(TimedPart part, double ms) { add(part, ms, 1, ms); }
}  // namespace

double timingClockMs() {
    using Ms = std::chrono::duration<double, std::milli>;
    return Ms(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void noteFrame(double lightmapMs, double frameMs) {
    add(TimedPart::Lightmap, lightmapMs);
    add(TimedPart::FrameRest, frameMs - lightmapMs);
    add(TimedPart::Frame, frameMs);
    timing.frameSinceLastPass += frameMs;
    timing.history[timing.historyNext] = static_cast<float>(frameMs);
    timing.historyNext = (timing.historyNext + 1) % kFrameHistory;
    timing.historyCount = std::min(timing.historyCount + 1, kFrameHistory);
}

void notePass(double passMs, int32_t steps, const PhysicsSplit& lastStep) {
    const double logicMs = std::max(0.0, passMs - timing.frameSinceLastPass);
    timing.frameSinceLastPass = 0.0;
    if (steps <= 0) return;
    // Steps of one pass run back to back; each is taken at their mean.
    add(TimedPart::Step, logicMs, steps, logicMs / steps);
    add(TimedPart::Collide, lastStep.collide);
    add(TimedPart::Solve, lastStep.solve);
    add(TimedPart::Continuous, lastStep.continuous);
}

void publishTimingIfDue(double nowMs) {
    if (timing.secondStart < 0.0) timing.secondStart = nowMs;
    if (nowMs - timing.secondStart < kSecondMs) return;
    timing.secondStart = nowMs;
    ++timing.generation;
    for (size_t i = 0; i < timing.current.size(); ++i) {
        const Accumulator& a = timing.current[i];
        timing.shown[i] = a.count > 0 ? TimingFigure{a.sum / static_cast<double>(a.count), a.max}
                                       : TimingFigure{};
        timing.current[i] = Accumulator();
    }
}

uint64_t timingGeneration() { return timing.generation; }

TimingFigure timingFigure(TimedPart part) { return timing.shown[static_cast<size_t>(part)]; }

std::vector<float> frameHistory() {
    std::vector<float> frames;
    frames.reserve(timing.historyCount);
    const size_t first = (timing.historyNext + kFrameHistory - timing.historyCount) % kFrameHistory;
    for (size_t i = 0; i < timing.historyCount; ++i)
        frames.push_back(timing.history[(first + i) % kFrameHistory]);
    return frames;
}

void noteDrawnCounts(const DrawnCounts& counts) { timing.drawn = counts; }
DrawnCounts drawnCounts() { return timing.drawn; }

void resetTiming() { timing = TimingState(); }
