// loop_stats.h: the loop's figures for measurements from outside the process. With the
// environment variable KELVORAN_LOOP_STATS naming a file, one line is appended to it at every
// per-second publication: "passes P steps S frames F drawn D" (frames due, frames drawn), and
// the line "first frame" as soon as the first frame reaches the screen. Without it nothing is
// written.
#pragma once

void openLoopStats();    // reads the environment once, at start-up
void countDrawnFrame();  // a frame reached the screen
void reportLoopSecond();  // after every pass: the line, when the pass published
void closeLoopStats();
