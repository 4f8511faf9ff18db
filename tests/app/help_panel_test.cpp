// help_panel_test.cpp: the help panel and the messages, drawn over a real frame and read back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/frame_drawing.h"
#include "app/help_panel_drawing.h"
#include "game/help_state.h"
#include "game/host.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "core/camera.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {
constexpr int kWidth = 1024, kHeight = 600;
int32_t fakeNow = 5000;
int32_t fakeClock() { return fakeNow; }

void advanceMessageClock(int32_t ms) {
    FrameScheduler later = frameScheduler();
    later.now += ms;
    setFrameScheduler(later);
}

Host fakeClockHost() {
    Host h = headlessHost();
    h.clock = fakeClock;
    return h;
}

std::vector<unsigned char> frame() {
    renderFrame();
    std::vector<unsigned char> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Changed pixels inside a window rectangle given from the top-left corner.
int changedIn(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int x0,
              int y0, int x1, int y1) {
    int changed = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const size_t i = (static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 4;
            changed += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
        }
    }
    return changed;
}
}  // namespace

TEST(HelpPanel, PressedTwiceGivesBackThePictureAndAMessageFadesAfterTwoSeconds) {
    openTestWindow(kWidth, kHeight);
    setCamera(0, 0, kWidth, kHeight, 1, 1, 0);
    const ScopedHost host(fakeClockHost());
    captureStdout([] {
        loadAllTextures(loadNoImage);
        createLightmapTexture(true);  // a real one, so the lightmap pass has somewhere to copy
    });
    createWorld();
    createQuad(-100, 100, 100, 100, 100, 140, -100, 140);
    const auto before = frame();

    onKeyDown('h', 0, 0);
    EXPECT_TRUE(helpPanelShown());
    const auto panel = frame();
    EXPECT_GT(changedIn(before, panel, 200, 150, 824, 450), 100000) << "no panel in the middle";
    onKeyDown('h', 0, 0);
    EXPECT_TRUE(before == frame()) << "h twice must give back the very same pixels";

    onKeyDown('0', 0, 0);  // "Paused", at the top-right
    const auto message = frame();
    EXPECT_GT(changedIn(before, message, 824, 0, kWidth, 40), 500);
    EXPECT_EQ(changedIn(before, message, 0, 40, kWidth, kHeight), 0);
    // The frame after: the HUD numbers and needle stay where they were, and GL is at rest.
    const auto next = frame();
    EXPECT_EQ(changedIn(before, next, 0, 40, kWidth, kHeight), 0);
    EXPECT_EQ(changedIn(before, next, 0, 0, 824, 40), 0);
    std::string why;
    EXPECT_TRUE(glAtRest(why)) << why;
    advanceMessageClock(1999);  // messages are timed by the passes' clock readings
    EXPECT_FALSE(before == frame());
    advanceMessageClock(1);
    EXPECT_TRUE(before == frame());
}
