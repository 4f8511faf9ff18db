// frame_timing_test.cpp: the timing overlay's figures: the logic step is its pass less the
// frame, shared among the pass's steps; figures change only once a second; the graph's ring.
#include <gtest/gtest.h>

#include "app/frame_timing.h"

TEST(FrameTiming, StepsShareTheirPassLessItsFrameAndFiguresChangeOncePerSecond) {
    resetTiming();
    publishTimingIfDue(0.0);
    noteFrame(2.0, 5.0);
    notePass(25.0, 4, {1.0, 2.0, 0.5});  // 20 ms of logic over 4 steps
    notePass(3.0, 1, {3.0, 4.0, 0.0});   // no frame in this one: all 3 ms are the step's
    notePass(40.0, 0, {9.0, 9.0, 9.0});  // paused: no step to time
    noteFrame(4.0, 6.0);
    publishTimingIfDue(999.0);
    EXPECT_EQ(timingFigure(TimedPart::Step).meanMs, 0.0) << "shown before the second is over";
    publishTimingIfDue(1000.0);
    EXPECT_DOUBLE_EQ(timingFigure(TimedPart::Step).meanMs, 23.0 / 5.0);
    EXPECT_DOUBLE_EQ(timingFigure(TimedPart::Step).maxMs, 5.0);
    EXPECT_DOUBLE_EQ(timingFigure(TimedPart::Collide).meanMs, 2.0);
    EXPECT_DOUBLE_EQ(timingFigure(TimedPart::Solve).maxMs, 4.0);
    EXPECT_DOUBLE_EQ(timingFigure(TimedPart::Lightmap).meanMs, 3.0);
    EXPECT_DOUBLE_EQ(timingFigure(TimedPart::FrameRest).maxMs, 3.0);
    EXPECT_DOUBLE_EQ(timingFigure(TimedPart::Frame).meanMs, 5.5);

    // The 6 ms frame was drawn inside the next pass; a part not measured this second shows 0.
    notePass(10.0, 1, {});
    publishTimingIfDue(2000.0);
    EXPECT_DOUBLE_EQ(timingFigure(TimedPart::Step).meanMs, 4.0);
    EXPECT_EQ(timingFigure(TimedPart::Frame).maxMs, 0.0);
}

TEST(FrameTiming, TheGraphKeepsTheLatestFramesOldestFirst) {
    resetTiming();
    EXPECT_TRUE(frameHistory().empty());
    for (int i = 0; i < 300; ++i) noteFrame(0.0, i);
    const std::vector<float> frames = frameHistory();
    ASSERT_EQ(frames.size(), kFrameHistory);
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], 300.0f - kFrameHistory + i);
}
