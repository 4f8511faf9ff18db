// shutdown_test.cpp: one start-up for headless runs, and the shutdown that frees what it made.
#include <gtest/gtest.h>

#include <box2d/box2d.h>

#include <filesystem>
#include <string>

#include "actors/actor.h"
#include "actors/box.h"
#include "session/headless.h"
#include "core/camera.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {
// Runs in a fresh folder holding a copy of the starter map.
class Shutdown : public testing::Test {
protected:
    void SetUp() override {
        folder = enterTempFolder("kelvoran-shutdown");
        std::filesystem::copy_file(KELVORAN_ASSETS "/map.txt", "map.txt");
    }
    void TearDown() override { leaveTempFolder(folder); }
    std::string folder;
};
}  // namespace

TEST_F(Shutdown, HeadlessStartUpBuildsTheGameAndShutdownFreesAllOfIt) {
    const std::string lines = captureStdout([] { startHeadless(); });
    EXPECT_EQ(allTextures().size(), 12u);
    EXPECT_GT(getQuadCount(), 0);
    ASSERT_NE(getWorld(), nullptr);
    EXPECT_EQ(viewSize().x, 1024.0f);
    EXPECT_EQ(windowSize().y, 600.0f);
    EXPECT_NE(lines.find("End of loading"), std::string::npos);
    captureStdout([] { spawnActor<Box>(0.0f, 0.0f); });
    const int bodies = getWorld()->GetBodyCount();

    stopHeadless();
    EXPECT_TRUE(allActors().empty());
    EXPECT_EQ(getQuadCount(), 0);
    EXPECT_EQ(getWorld(), nullptr);
    EXPECT_TRUE(allTextures().empty());
    EXPECT_EQ(findTexture("image.png"), nullptr);
    EXPECT_GT(bodies, getQuadCount() + 1);  // the box had a body beside the quads and ground

    // A second run starts from nothing, as the first did, and prints the same lines.
    EXPECT_EQ(captureStdout([] { startHeadless(); }), lines);
    stopHeadless();
}

TEST_F(Shutdown, ClearingActorsDestroysEveryActorBody) {
    captureStdout([] { startHeadless(); });
    const int before = getWorld()->GetBodyCount();
    captureStdout([] {
        for (int i = 0; i < 5; ++i) spawnActor<Box>(40.0f * static_cast<float>(i), -200.0f);
    });
    EXPECT_EQ(getWorld()->GetBodyCount(), before + 5);
    clearActors();
    EXPECT_EQ(getWorld()->GetBodyCount(), before);
    stopHeadless();
}
