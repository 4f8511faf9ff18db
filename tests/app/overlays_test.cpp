// overlays_test.cpp: the physics overlay (b), the timing overlay (i) and the grab marker, drawn
// over a real frame and read back.
#include <GL/gl.h>
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "app/frame_drawing.h"
#include "core/camera.h"
#include "game/grab.h"
#include "game/host.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "game/overlay_switches.h"
#include "lighting/lightmap.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {
constexpr int kWidth = 1024, kHeight = 600;
int32_t fakeClock() { return 5000; }

struct Picture {
    std::vector<unsigned char> rgba;
    // (x, y) from the top-left corner.
    const unsigned char* at(int x, int y) const {
        return &rgba[(static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 4];
    }
    bool differsAt(const Picture& other, int x, int y) const {
        const unsigned char *a = at(x, y), *b = other.at(x, y);
        return a[0] != b[0] || a[1] != b[1] || a[2] != b[2];
    }
};

Picture frame() {
    renderFrame();
    Picture picture;
    picture.rgba.resize(static_cast<size_t>(kWidth) * kHeight * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
    return picture;
}

// Lets the top-right messages run out, by the passes' clock.
void outlastMessages() {
    FrameScheduler later = frameScheduler();
    later.now += 2000;
    setFrameScheduler(later);
}

class Overlays : public testing::Test {
protected:
    void SetUp() override {
        openTestWindow(kWidth, kHeight);
        setCamera(0, 0, kWidth, kHeight, 1, 1, 0);
        captureStdout([] {
            loadAllTextures(loadNoImage);
            createLightmapTexture(true);
        });
        // A world of our own, whatever an earlier test in this process left.
        clearMapQuads(getWorld() != nullptr);
        destroyWorld();
        createWorld();
        createQuad(-100, 100, 100, 100, 100, 140, -100, 140);
    }
    void TearDown() override {
        releaseGrab();
        if (physicsOverlayShown()) physicsOverlayKey();
        if (timingOverlayShown()) timingOverlayKey();
        clearMapQuads(true);
        for (b2Body* body : bodies) getWorld()->DestroyBody(body);
        destroyWorld();
    }
    std::vector<b2Body*> bodies;
    const ScopedHost host{[] {
        Host h = headlessHost();
        h.clock = fakeClock;
        return h;
    }()};
};
}  // namespace

TEST_F(Overlays, BDrawsOutlinesExactlyWhereTheBodiesAreAndBAndITwiceGiveBackThePicture) {
    // A crate at world (200, -100): 32 x 32 units, window pixels 696..728 by 184..216.
    bodies.push_back(createDynamicBox(200, -100, 0, 0.8f, 0.8f, 0.3f));
    const Picture before = frame();

    onKeyDown('b', 0, 0);
    const Picture shown = frame();
    int onEdges = 0, offBodies = 0;
    for (int y = 50; y < kHeight; ++y) {  // below the message at the top-right
        for (int x = 0; x < kWidth; ++x) {
            if (!shown.differsAt(before, x, y)) continue;
            const bool nearCrate = x >= 694 && x <= 730 && y >= 182 && y <= 218;
            const bool onQuad = x >= 410 && x <= 614 && y >= 398 && y <= 442;
            if (!nearCrate && !onQuad) ++offBodies;
            // Along the crate's outline, not across it (its centre shows its axes).
            const int fromEdge = std::min(std::min(std::abs(x - 696), std::abs(x - 728)),
                                          std::min(std::abs(y - 184), std::abs(y - 216)));
            if (nearCrate && fromEdge <= 1) ++onEdges;
        }
    }
    EXPECT_EQ(offBodies, 0) << "the overlay drew away from every body";
    EXPECT_GE(onEdges, 4 * 28) << "the crate's four sides are not all outlined";
    bool warm = false;  // an awake dynamic body's outline, unlike the static quad's green
    for (int y = 182; y <= 186; ++y) {
        const unsigned char* p = shown.at(712, y);
        warm = warm || (shown.differsAt(before, 712, y) && p[0] > p[1] + 20 && p[0] > p[2] + 20);
    }
    EXPECT_TRUE(warm);
    int quadEdge = 0;
    for (int x = 420; x < 600; ++x)
        quadEdge += shown.differsAt(before, x, 400) || shown.differsAt(before, x, 399);
    EXPECT_GE(quadEdge, 170) << "the static quad's top edge";

    onKeyDown('b', 0, 0);
    onKeyDown('i', 0, 0);
    const Picture timing = frame();
    int panel = 0;
    for (int y = 50; y < 250; ++y)
        for (int x = 10; x < 430; ++x) panel += timing.differsAt(before, x, y);
    EXPECT_GT(panel, 20000) << "no timing panel at the top-left";
    onKeyDown('i', 0, 0);
    outlastMessages();
    const Picture after = frame();
    EXPECT_TRUE(after.rgba == before.rgba) << "b twice and i twice must give back the same pixels";
    std::string why;
    EXPECT_TRUE(glAtRest(why)) << why;
}

TEST_F(Overlays, AHeldBodyShowsItsGrabbedPointAndTheLineToTheCursorOnlyWhileHeld) {
    bodies.push_back(createDynamicBox(200, -100, 0, 0.8f, 0.8f, 0.3f));
    const Picture before = frame();
    ASSERT_TRUE(grabBodyAt({200, -100}));
    moveGrabTarget({300, -100});
    const Picture held = frame();
    int onLine = 0;
    for (int x = 720; x < 800; ++x)
        onLine += held.differsAt(before, x, 200) || held.differsAt(before, x, 199);
    EXPECT_GE(onLine, 70);
    const int ring = 712 - 4;  // the anchor ring: 4 units left of the grabbed point, off the line
    EXPECT_TRUE(held.differsAt(before, ring, 200) || held.differsAt(before, ring, 199));
    releaseGrab();
    EXPECT_TRUE(frame().rgba == before.rgba);
}
