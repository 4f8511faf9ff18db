// recording_limits.h: how much a recording may ask of a replay. A recording is a file people
// send each other, so its decoded size and the work it asks for are bounded before they are
// spent. Each bound is far beyond what a real session reaches (a heavy ten-minute session: 430 KB,
// 55,231 steps, 21 map loads, about 5 MB of console lines); a file beyond one is refused, with
// status 2 and a message naming the bound.
#pragma once
#include <cstdint>
#include <string>

// Distinct map bytes a recording carries (a load of an unchanged map shares the earlier bytes).
constexpr uint64_t kMaxRecordingMapBytes = uint64_t{256} << 20;
// Map bytes all its loads hand to the game, repeats counted: each load builds every quad again.
constexpr uint64_t kMaxReplayMapLoadBytes = uint64_t{1} << 30;
// Logic steps a replay runs: 10,000,000 steps are almost 28 hours of play.
constexpr int64_t kMaxReplaySteps = 10000000;
// Main-loop passes within one second of the recorded clock: one a nanosecond.
constexpr int64_t kMaxPassesPerSecond = 1000000000;
// Clock readings (ms since the window opened): 23 days, so that the main loop's sums of a
// reading and its intervals stay within 32 bits.
constexpr int32_t kMaxClockReading = 2000000000;
// Console output of one replay.
constexpr uint64_t kMaxReplayOutputBytes = uint64_t{1} << 30;

// "it asks for more than 10,000,000 logic steps (the limit)": what a refusal says.
std::string beyondLimit(const char* what, uint64_t limit);
