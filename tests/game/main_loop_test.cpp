// The frameScheduler() driven by a fake clock: frames, steps, publication and the catch-up bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "game/host.h"
#include "game/main_loop.h"

namespace {
int32_t fakeNow = 0;
int32_t fakeClock() { return fakeNow; }
std::vector<int32_t> frameTimes;
void recordFrame() { frameTimes.push_back(fakeNow); }
int32_t waitTarget = -1;  // the last time the loop said nothing is due before
void recordWait(int32_t until) { waitTarget = until; }

class MainLoop : public testing::Test {
protected:
    void SetUp() override {
        fakeNow = 1000;
        frameTimes.clear();
        resetScheduler();
        primeLoop();
    }
    void TearDown() override { resetScheduler(); }
    // Counts steps cumulatively by holding the per-second publication off.
    void holdPublication() {
        FrameScheduler held = frameScheduler();
        held.nextSecond = INT_MAX;
        setFrameScheduler(held);
    }
    static Host fakeHost() {
        Host h = headlessHost();
        h.clock = fakeClock;
        h.frame = recordFrame;
        h.waitUntil = recordWait;
        return h;
    }
    ScopedHost host_{fakeHost()};
    void passAt(int32_t t) {
        fakeNow = t;
        runPass();
    }
};
}  // namespace

TEST_F(MainLoop, FirstStepIsDueAfter20msAndFirstFrameAfter40ms) {
    holdPublication();
    passAt(1019);
    EXPECT_EQ(frameScheduler().steps, 0);
    passAt(1020);
    EXPECT_EQ(frameScheduler().steps, 1);
    passAt(1039);
    EXPECT_TRUE(frameTimes.empty());
    EXPECT_EQ(frameScheduler().steps, 2);
    passAt(1040);
    EXPECT_EQ(frameTimes, std::vector<int32_t>{1040});
}

TEST_F(MainLoop, AStallDrawsOneFrameThenCatchesUpTheSteps) {
    holdPublication();
    for (int32_t t = 1000; t <= 1100; ++t) passAt(t);
    const int32_t stepsBefore = frameScheduler().steps;
    const size_t framesBefore = frameTimes.size();
    passAt(1195);
    EXPECT_EQ(frameTimes.size(), framesBefore + 1);
    const int32_t caughtUp = frameScheduler().steps - stepsBefore;
    EXPECT_GE(caughtUp, 9);
    EXPECT_LE(caughtUp, 10);
}

TEST_F(MainLoop, FramesAreNeverCloserThan20msAndNeverCaughtUp) {
    holdPublication();
    // Irregular passes, with one long stall in the middle.
    int32_t t = 1000;
    for (int i = 0; i < 500; ++i) {
        t += (i == 250) ? 137 : 1 + (i * 7) % 13;
        passAt(t);
    }
    ASSERT_GT(frameTimes.size(), 10u);
    for (size_t i = 1; i < frameTimes.size(); ++i) EXPECT_GE(frameTimes[i] - frameTimes[i - 1], 20);
}

TEST_F(MainLoop, StepsAverage100PerSecondWhateverTheFrameRate) {
    for (int32_t passGap : {1, 7, 33, 95}) {
        SetUp();
        holdPublication();
        for (int32_t t = 1000; t <= 61000; t += passGap) passAt(t);
        const double perSecond = frameScheduler().steps / 60.0;
        EXPECT_NEAR(perSecond, 100.0, 0.5) << "pass every " << passGap << " ms";
    }
}

TEST_F(MainLoop, PublishesOncePerSecondAfterASlowStart) {
    // Start-up took 2.5 s: nextSecond (0) is far behind the clock, so the first passes publish
    // at every pass until it has passed the clock.
    fakeNow = 2500;
    primeLoop();
    std::vector<int32_t> publishedAt;
    for (int32_t t = 2500; t <= 6000; t += 5) {
        const int32_t before = frameScheduler().nextSecond;
        passAt(t);
        if (frameScheduler().nextSecond != before) {
            EXPECT_EQ(frameScheduler().nextSecond - before, 1000);
            publishedAt.push_back(t);
        }
    }
    ASSERT_GE(publishedAt.size(), 6u);
    EXPECT_EQ(publishedAt[0], 2500);
    EXPECT_EQ(publishedAt[1], 2505);
    EXPECT_EQ(publishedAt[2], 2510);
    // nextSecond is now 3000: from here on, one publication a second.
    EXPECT_EQ(publishedAt[3], 3005);
    EXPECT_EQ(publishedAt[4], 4005);
    EXPECT_EQ(publishedAt[5], 5005);
    // One pass every 5 ms: 200 passes and 100 steps in the last full second.
    EXPECT_EQ(frameScheduler().passesPerSecond, 200);
    EXPECT_EQ(frameScheduler().stepsPerSecond, 100);
    EXPECT_EQ(frameScheduler().framesPerSecond, 50);
}

TEST_F(MainLoop, AHugeStallRunsAtMost25StepsAndForgivesTheRest) {
    holdPublication();
    passAt(1030);
    const int32_t before = frameScheduler().steps;
    passAt(6030);  // five seconds owed
    EXPECT_EQ(frameScheduler().steps - before, 25);
    // The loop is back on its 10 ms cadence at once instead of owing 475 more steps.
    passAt(6040);
    EXPECT_EQ(frameScheduler().steps - before, 26);
    passAt(6045);
    EXPECT_EQ(frameScheduler().steps - before, 26);
    passAt(6050);
    EXPECT_EQ(frameScheduler().steps - before, 27);
}

TEST_F(MainLoop, EveryPassNamesTheEarlierOfTheNextStepAndFrameAsItsWakeUp) {
    holdPublication();
    int32_t t = 1000;
    for (int i = 0; i < 2000; ++i) {
        t += (i * 7919) % 29;  // irregular gaps, 0 to 28 ms, stalls of a few steps among them
        waitTarget = -1;
        passAt(t);
        EXPECT_EQ(waitTarget, std::min(frameScheduler().nextStep, frameScheduler().nextFrame));
        EXPECT_GT(waitTarget, t) << "work due at " << t << " was left for later";
        // Woken no later than asked, the pass finds exactly that work due.
        const int32_t stepsBefore = frameScheduler().steps;
        const size_t framesBefore = frameTimes.size();
        passAt(waitTarget);
        EXPECT_TRUE(frameScheduler().steps > stepsBefore || frameTimes.size() > framesBefore);
        t = waitTarget;
    }
}

TEST_F(MainLoop, ALoopThatSleepsUntilItsWakeUpRunsOnePassPerStepAnd50FramesASecond) {
    // A host that gives the time back exactly as asked, and a key press now and then that
    // wakes the window system (its callback runs no pass; a window event runs one).
    std::vector<int32_t> frames, steps, passes;
    int32_t lastPublished = frameScheduler().nextSecond;
    for (int32_t i = 0; fakeNow < 11000; ++i) {
        passAt(fakeNow);
        if (i % 97 == 0) passAt(fakeNow + 3);  // an expose between two wake-ups
        if (frameScheduler().nextSecond != lastPublished && fakeNow > 2500) {  // whole seconds
            frames.push_back(frameScheduler().framesPerSecond);
            steps.push_back(frameScheduler().stepsPerSecond);
            passes.push_back(frameScheduler().passesPerSecond);
        }
        lastPublished = frameScheduler().nextSecond;
        ASSERT_GT(waitTarget, fakeNow) << "no wake-up after the pass";
        fakeNow = waitTarget;
        waitTarget = -1;
    }
    ASSERT_GE(passes.size(), 8u);
    for (size_t s = 0; s < passes.size(); ++s) {
        EXPECT_EQ(steps[s], 100);
        EXPECT_EQ(frames[s], 50);
        // One pass per 10 ms (a frame falls on a step), plus the odd expose: no idle passes.
        EXPECT_GE(passes[s], 100);
        EXPECT_LE(passes[s], 102);
    }
    for (size_t i = 1; i < frameTimes.size(); ++i) EXPECT_GE(frameTimes[i] - frameTimes[i - 1], 20);
}
