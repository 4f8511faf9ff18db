// Which frames a window draws: none while nothing changes but the once-a-second HUD numbers, the
// next one after a change, and a game that skips frames stays the game that draws them all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "actors/box.h"
#include "core/keyboard.h"
#include "game/game.h"
#include "game/host.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "game/messages.h"
#include "game/redraw_decision.h"
#include "game/sandbox.h"
#include "game/state_hash.h"
#include "support/gl_window.h"

namespace {
int32_t fakeNow = 0;
int32_t wakeAt = 0;
bool skipUnchanged = true;
struct DrawnFrame {
    int32_t at = 0;
    FrameNeed need = FrameNeed::Nothing;
    bool published = false;  // the first frame due since a publication
};
std::vector<DrawnFrame> drawn;
int32_t shownSecond = 0;  // nextSecond at the last frame due

// Does to the queues what the window's frame does; a skipped frame leaves them alone.
void windowLikeFrame() {
    const FrameNeed need = skipUnchanged ? takeFrameToDraw() : FrameNeed::Everything;
    const bool published = frameScheduler().nextSecond != shownSecond;
    shownSecond = frameScheduler().nextSecond;
    if (need == FrameNeed::Nothing) return;
    drawn.push_back({fakeNow, need, published});
    queueOnlyFrame();
}

void openNoWindow(int&, char**) { onReshape(1024, 600); }

class Redraw : public testing::Test {
protected:
    void SetUp() override {
        shutdownGame(false);  // from whatever earlier tests in this process left
        folder_ = enterTempFolder("kelvoran-redraw");
        ASSERT_EQ(std::system("cp '" KELVORAN_ASSETS "/map.txt' map.txt"), 0);
    }
    void TearDown() override {
        if (started_) shutdownGame(false);
        leaveTempFolder(folder_);
    }
    void start() {
        Host h = headlessHost();
        h.clock = [] { return fakeNow; };
        h.frame = windowLikeFrame;
        h.waitUntil = [](int32_t until) { wakeAt = until; };
        host_.reset();  // the one it put back first
        host_ = std::make_unique<ScopedHost>(h);
        fakeNow = 5000;
        drawn.clear();
        int argc = 0;
        testing::internal::CaptureStdout();
        startGame(argc, nullptr, false, openNoWindow);
        testing::internal::GetCapturedStdout();
        started_ = true;
        wakeAt = fakeNow;
    }
    // Passes as a sleeping window runs them: each at the time the last one woke it for.
    void runUntil(int32_t end) {
        while (wakeAt <= end) {
            fakeNow = wakeAt;
            runPass();
            ASSERT_GT(wakeAt, fakeNow);
        }
    }
    std::string folder_;
    std::unique_ptr<ScopedHost> host_;
    bool started_ = false;
};
}  // namespace

TEST_F(Redraw, AStillSceneDrawsOnlyForTheHudNumbersAndAChangeDrawsTheNextFrame) {
    start();
    runUntil(8000);  // the bursts on the map's covered edges burn out
    drawn.clear();
    runUntil(12000);
    ASSERT_EQ(drawn.size(), 4u);  // one a second
    for (const DrawnFrame& frame : drawn) {
        EXPECT_TRUE(frame.published) << "a frame at " << frame.at << " showed nothing new";
        EXPECT_EQ(frame.need, FrameNeed::AllButLightmap) << "the lights did not change";
    }

    // One step of scrolling: the next frame is drawn, whole, and then nothing again.
    drawn.clear();
    const int32_t pressed = fakeNow;
    pressKey('d');
    runUntil(fakeNow + 10);
    releaseKey('d');
    runUntil(fakeNow + 500);
    ASSERT_FALSE(drawn.empty());
    EXPECT_LE(drawn[0].at - pressed, 30);
    EXPECT_EQ(drawn[0].need, FrameNeed::Everything);
    for (size_t i = 1; i < drawn.size(); ++i) EXPECT_TRUE(drawn[i].published);

    // A crate falls: every frame is drawn while it moves; paused, it stops after the frame that
    // gives the lights their place, and a message then draws until it is gone.
    drawn.clear();
    onMouseMove(612, 420);
    spawnActor<Box>(100.0f, 0.0f);
    testing::internal::CaptureStdout();
    runUntil(fakeNow + 400);
    EXPECT_EQ(drawn.size(), 20u);
    setSimulationPaused(true);
    drawn.clear();
    runUntil(fakeNow + 60);  // before the next publication
    EXPECT_EQ(drawn.size(), 2u);
    if (drawn.size() == 2) {
        EXPECT_EQ(drawn[1].need, FrameNeed::Everything) << "the lights' frame kept the old lightmap";
    }
    runUntil(fakeNow + 250);  // off the publications' beat
    drawn.clear();
    const int32_t shown = fakeNow;
    showMessage("still here");
    runUntil(shown + kMessageMs + 100);
    testing::internal::GetCapturedStdout();
    auto drawnWithin = [](int32_t from, int32_t to) {
        int count = 0;
        for (const DrawnFrame& frame : drawn) count += frame.at >= from && frame.at <= to;
        return count;
    };
    EXPECT_EQ(drawnWithin(shown, shown + 20), 1) << "the message is not shown";
    EXPECT_EQ(drawnWithin(shown + kMessageMs, shown + kMessageMs + 20), 1) << "nor taken away";
    EXPECT_EQ(drawn.size(), 4u);  // and two for the HUD
    // A window uncovered or resized is drawn at the next frame, whole, and at the one after,
    // by when a resized drawable has its new size.
    drawn.clear();
    const int32_t lost = fakeNow;
    pictureLost();
    runUntil(fakeNow + 50);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_LE(drawn[0].at - lost, 20);
    EXPECT_EQ(drawn[0].need, FrameNeed::Everything);
    EXPECT_EQ(drawn[1].need, FrameNeed::Everything);
}

TEST_F(Redraw, AGameThatSkipsUnchangedFramesKeepsEveryStateHashOfOneThatDrawsThemAll) {
    // One scripted session played twice: crates, a car, bursts, a flicker, scrolling, pauses
    // and single steps, the panel; the state hash (light queues included) is compared every
    // 250 ms. A frame skipped wrongly leaves other lights queued and the hashes part.
    std::vector<uint64_t> hashes[2];
    for (int run = 0; run < 2; ++run) {
        skipUnchanged = run == 1;
        start();
        testing::internal::CaptureStdout();
        onMouseMove(612, 420);
        const char script[] = " 1z pd.0 h  0w..0 zs p 0c h";
        for (int32_t t = 0; t < 20000; t += 250) {
            const char key = script[(t / 1000) % (sizeof script - 1)];
            if (t % 1000 == 0) {
                releaseAllKeys();
                if (key == ' ' || key == 'w' || key == 's' || key == 'd') {
                    pressKey(key);
                } else {
                    onKeyDown(static_cast<unsigned char>(key), 0, 0);
                }
            }
            runUntil(5000 + t);
            hashes[run].push_back(stateHash());
        }
        testing::internal::GetCapturedStdout();
        if (run == 1) {
            EXPECT_LT(drawn.size(), 900u) << "nothing was skipped, so nothing was tested";
        }
        shutdownGame(false);
        started_ = false;
    }
    skipUnchanged = true;
    ASSERT_EQ(hashes[0].size(), hashes[1].size());
    for (size_t i = 0; i < hashes[0].size(); ++i)
        ASSERT_EQ(hashes[0][i], hashes[1][i]) << "after " << (i + 1) * 250 << " ms";
}
