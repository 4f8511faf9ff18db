// frame_timing.h: where the time of the loop goes (the logic steps with the physics library's own
// split, the lightmap pass, the rest of the frame, the frame as a whole), gathered per second
// for the timing overlay. No GL here: the window hands the measurements in.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum class TimedPart { Step, Collide, Solve, Continuous, Lightmap, FrameRest, Frame };
constexpr int kTimedParts = 7;

struct TimingFigure {
    double meanMs = 0.0, maxMs = 0.0;
};

// A steady clock for measuring, in ms; never the game's clock, which the recordings replay.
double timingClockMs();

// One drawn frame: the time of its lightmap pass and of the whole frame, ms.
void noteFrame(double lightmapMs, double frameMs);
// The physics library's own times of one step, ms.
struct PhysicsSplit {
    double collide = 0.0, solve = 0.0, continuous = 0.0;
};
// One pass of the loop: its whole time (ms), how many logic steps it ran, and the split of the
// last of them. The pass's frame, noted since the previous pass, is not counted as logic.
void notePass(double passMs, int32_t steps, const PhysicsSplit& lastStep);
// Once a second has passed on timingClockMs since the last publication, the figures of the
// second just ended replace the shown ones.
void publishTimingIfDue(double nowMs);
TimingFigure timingFigure(TimedPart part);  // of the last whole second; zeros before it
uint64_t timingGeneration();  // how many times the figures have been published

constexpr size_t kFrameHistory = 256;  // about five seconds of frames
std::vector<float> frameHistory();     // the latest frames' times, ms, oldest first

// What the last frame drew: lights in its lightmap pass and map quads in view.
struct DrawnCounts {
    int32_t lights = 0, quads = 0;
};
void noteDrawnCounts(const DrawnCounts& counts);
DrawnCounts drawnCounts();

void resetTiming();
