// Rocket: straight flight, the map test after the move, its burst and its lifetime.
#include <cstdint>
#include <string>
#include <vector>

#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include "actors/rocket.h"
#include "core/sound_cues.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {


class RocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearActors();
        clearMapQuads(true);
        createWorld();
        if (findTexture("bloomtest.png") == nullptr) {
            captureStdout([] { loadAllTextures(loadNoImage); });
        }
        // The square 100..200 x 100..200 in world units.
        auto* quad = &registerQuad();
        setGeometry(*quad, 100.0f, 100.0f, 200.0f, 100.0f, 200.0f, 200.0f, 100.0f, 200.0f);
        sheet = findTexture("bloomtest.png");
        for (const auto& texture : allTextures()) {
            texture->queues.bursts.clear();
            texture->queues.batchCount = 0;
        }
    }
    void TearDown() override {
        clearActors();
        clearMapQuads(true);
    }

    Texture* sheet = nullptr;
};

TEST_F(RocketTest, MapTestComesAfterTheMove) {
    ASSERT_TRUE(anyQuadAt(Vec2f{150.0f, 150.0f}));
    auto* leaving = spawnActor<Rocket>(150.0f, 150.0f, 100.0f, 0.0f);  // starts inside, moves out
    auto* entering = spawnActor<Rocket>(90.0f, 150.0f, 20.0f, 0.0f);   // starts outside, moves in
    updateActors();
    EXPECT_FALSE(leaving->dead);
    EXPECT_EQ(leaving->x, 250.0f);
    EXPECT_TRUE(entering->dead);
    ASSERT_EQ(sheet->queues.bursts.size(), 1u);
    EXPECT_EQ(sheet->queues.bursts[0].x, 110.0f);
    EXPECT_EQ(sheet->queues.bursts[0].y, 150.0f);
}

TEST_F(RocketTest, BurstsOnceWhereItEntersWithARandomAngle) {
    clearSoundCues();
    auto* rocket = spawnActor<Rocket>(40.5f, 120.0f, 2.0f, 0.5f);
    int passes = 0;
    while (!rocket->dead && passes < 200) {
        updateActors();
        ++passes;
    }
    ASSERT_TRUE(rocket->dead);
    ASSERT_EQ(sheet->queues.bursts.size(), 1u);
    const Burst& burst = sheet->queues.bursts[0];
    EXPECT_EQ(burst.x, rocket->x);
    EXPECT_EQ(burst.y, rocket->y);
    // Heard leaving where it started, and bursting where it is seen to.
    std::vector<SoundCue> cues;
    takeSoundCues(cues);
    ASSERT_EQ(cues.size(), 2u);
    EXPECT_EQ(cues[0].kind, SoundCueKind::Rocket);
    EXPECT_EQ(cues[0].x, 40.5f);
    EXPECT_EQ(cues[1].kind, SoundCueKind::Burst);
    EXPECT_EQ(cues[1].x, burst.x);
    EXPECT_EQ(cues[1].y, burst.y);
    EXPECT_GT(rocket->x, 100.0f);
    EXPECT_LE(rocket->x - 2.0f, 100.0f);  // the step before was still outside
    EXPECT_GE(burst.angle, 0.0f);
    EXPECT_LE(burst.angle, 360.0f);
    EXPECT_EQ(burst.phase, 0.0f);

    // Still drawn until the next update pass removes it; no second burst.
    drawActors();
    ASSERT_EQ(sheet->queues.batchCount, 1);
    EXPECT_EQ(sheet->queues.batch[0].x, rocket->x);
    EXPECT_EQ(sheet->queues.batch[0].y, rocket->y);
    EXPECT_EQ(sheet->queues.batch[0].frame, 0);
    EXPECT_EQ(sheet->queues.batch[0].extra1, 0.0f);
    EXPECT_EQ(sheet->queues.batch[0].extra2, 0.0f);
    EXPECT_EQ(sheet->queues.batch[0].angle, 0.0f);
    updateActors();
    EXPECT_TRUE(allActors().empty());
    EXPECT_EQ(sheet->queues.bursts.size(), 1u);
}

TEST_F(RocketTest, StillRocketOutsideTheMapExpiresWithoutABurst) {
    auto* rocket = spawnActor<Rocket>(-500.0f, -500.0f, 0.0f, 0.0f);
    for (int pass = 0; pass < 550; ++pass) updateActors();
    EXPECT_FALSE(rocket->dead);
    updateActors();  // 551st
    EXPECT_TRUE(rocket->dead);
    EXPECT_EQ(rocket->x, -500.0f);
    updateActors();
    EXPECT_TRUE(allActors().empty());
    EXPECT_TRUE(sheet->queues.bursts.empty());
}

TEST_F(RocketTest, EnteringTheMapInItsLastUpdateStillBursts) {
    // Outside (x = 98) after 550 moves, inside (x = 108) after the 551st.
    auto* rocket = spawnActor<Rocket>(-5402.0f, 150.0f, 10.0f, 0.0f);
    for (int pass = 0; pass < 550; ++pass) updateActors();
    EXPECT_EQ(rocket->x, 98.0f);
    EXPECT_TRUE(sheet->queues.bursts.empty());
    updateActors();
    EXPECT_TRUE(rocket->dead);
    ASSERT_EQ(sheet->queues.bursts.size(), 1u);
    EXPECT_EQ(sheet->queues.bursts[0].x, 108.0f);
}

TEST_F(RocketTest, SpawnedRocketFliesDownRightFromTheOrigin) {
    spawnRocket();
    ASSERT_EQ(allActors().size(), 1u);
    Actor* rocket = allActors()[0].get();
    updateActors();
    updateActors();
    EXPECT_EQ(rocket->x, 2.0f);
    EXPECT_EQ(rocket->y, 2.0f);
    // It reaches the square's corner region and bursts just inside it.
    for (int pass = 0; pass < 200 && !rocket->dead; ++pass) updateActors();
    EXPECT_TRUE(rocket->dead);
    EXPECT_EQ(rocket->x, 101.0f);
    EXPECT_EQ(sheet->queues.bursts.size(), 1u);
}

}  // namespace
