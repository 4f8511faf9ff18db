// main_loop.h: fixed 10 ms logic steps with full catch-up, frames at most every 20 ms.
#pragma once
#include <cstdint>

// Times in ms of the clock; counts since the last per-second publication.
struct FrameScheduler {
    int32_t now = 0;
    int32_t nextSecond = 0;
    int32_t nextStep = 0;
    int32_t nextFrame = 0;
    int32_t passes = 0;
    int32_t frames = 0;
    int32_t steps = 0;
    int32_t passesPerSecond = 0;
    int32_t framesPerSecond = 0;
    int32_t stepsPerSecond = 0;
};
// The loop's one schedule.
const FrameScheduler& frameScheduler();
void setFrameScheduler(const FrameScheduler& schedule);  // for tools that drive the loop by hand
void resetScheduler();  // all zero, as before primeLoop

// The clock is a module of its own (readClock).
#include "game/clock.h"

void primeLoop();   // now = clock, first step due in 20 ms, first frame in 40 ms
// What one pass did: the recorder writes it, the replay checks it and the timing reads it,
// none of them working it out again from the schedule's counters.
struct PassReport {
    int32_t steps = 0;        // logic steps it ran
    bool frameDrawn = false;  // it called the host's frame
    bool published = false;   // it published the per-second counts
    bool paced = false;       // its steps came from a shared session's pacer, not the clock
};
// Display and idle callback: publish counts, maybe the host's frame, owed steps, then the host
// may wait until the next step or frame is due.
PassReport runPass();
void updateStep();  // one 10 ms logic step; never calls GL or GLUT
