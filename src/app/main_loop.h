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
extern FrameScheduler scheduler;  // the loop's one schedule

// The one clock every part of the logic reads (milliseconds since start-up).
using ClockFunction = int32_t (*)();
void setClock(ClockFunction clock);  // nullptr restores the window system's clock
int32_t readClock();

// What a pass draws; renderFrame by default, replaceable so the loop runs without a window.
using FrameFunction = void (*)();
void setFrameFunction(FrameFunction frame);

void primeLoop();   // now = clock, first step due in 20 ms, first frame in 40 ms
void runPass();     // display and idle callback: publish counts, maybe a frame, owed steps
void updateStep();  // one 10 ms logic step; never calls GL or GLUT
