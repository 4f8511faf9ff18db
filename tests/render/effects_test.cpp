// effects_test.cpp: burst and flicker lifetimes and frames, queue bounds, flicker lights.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "render/effect_layers.h"
#include "render/effects.h"
#include "render/texture.h"

namespace {
Texture& sheet(int32_t columns, int32_t rows, bool paired = false) {
    Texture* texture = &createTexture();
    std::ostringstream log;
    layoutSheet(*texture, 16, 16, 8, 8, columns, rows, log);
    if (paired) makePaired(*texture, 2.0f);
    return *texture;
}

void update(int times) {
    for (int i = 0; i < times; ++i) updateEffects();
}

}  // namespace

TEST(Bursts, PlayEveryFrameOnceFinishAfter101StepsAndGoAt102) {
    Texture& explosion = sheet(5, 5);
    spawnBurst(explosion, 10, 20, 30);
    ASSERT_EQ(explosion.queues.bursts.size(), 1u);
    EXPECT_EQ(burstFrame(explosion, explosion.queues.bursts[0]), 0);
    update(50);
    EXPECT_NEAR(explosion.queues.bursts[0].phase, 0.5f, 1e-5);
    EXPECT_EQ(burstFrame(explosion, explosion.queues.bursts[0]), 12);
    update(50);
    EXPECT_FLOAT_EQ(explosion.queues.bursts[0].phase, 0.9999993f);
    EXPECT_FALSE(explosion.queues.bursts[0].finished);
    EXPECT_EQ(burstFrame(explosion, explosion.queues.bursts[0]), 24);
    update(1);
    ASSERT_EQ(explosion.queues.bursts.size(), 1u);
    EXPECT_TRUE(explosion.queues.bursts[0].finished);
    EXPECT_FLOAT_EQ(explosion.queues.bursts[0].phase, 0.9999993f);  // the last frame shows once more
    EXPECT_EQ(burstFrame(explosion, explosion.queues.bursts[0]), 24);
    EXPECT_EQ(explosion.queues.bursts[0].x, 10.0f);
    EXPECT_EQ(explosion.queues.bursts[0].angle, 30.0f);
    update(1);
    EXPECT_TRUE(explosion.queues.bursts.empty());
}

TEST(Bursts, AdjacentFinishedBurstsGoInOneUpdateAndTheNextStillAdvances) {
    Texture& explosion = sheet(5, 5);
    spawnBurst(explosion, 0, 0, 0);
    spawnBurst(explosion, 1, 0, 0);
    spawnBurst(explosion, 2, 0, 0);
    explosion.queues.bursts[0].finished = true;
    explosion.queues.bursts[1].finished = true;
    explosion.queues.bursts[2].phase = 0.3f;
    updateEffects();
    ASSERT_EQ(explosion.queues.bursts.size(), 1u);
    EXPECT_EQ(explosion.queues.bursts[0].x, 2.0f);
    EXPECT_FLOAT_EQ(explosion.queues.bursts[0].phase, 0.31f);
}

TEST(Bursts, PairedSheetsShowBaseFramesOfFourPairs) {
    Texture& bloom = sheet(2, 4, true);
    Texture& nine = sheet(3, 3, true);
    const float phases[] = {0.0f, 0.24f, 0.25f, 0.5f, 0.74f, 0.75f, 0.9999993f};
    const int32_t bloomFrames[] = {0, 0, 2, 4, 4, 6, 6};
    for (size_t i = 0; i < 7; ++i) {
        Burst burst;
        burst.phase = phases[i];
        EXPECT_EQ(burstFrame(bloom, burst), bloomFrames[i]) << phases[i];
        EXPECT_EQ(burstFrame(nine, burst), bloomFrames[i]) << phases[i];  // frame 8 never shows
    }
}

TEST(Flickers, ModeZeroAtQuarterPhaseSitsHalfAUnitAboveItsCentreInWarmLight) {
    Texture& light = sheet(1, 1);
    spawnFlicker(light, 100, 200, 0, true, 0);
    Flicker& f = light.queues.flickers[0];
    f.phase = 0.24f;
    updateEffects();
    EXPECT_NEAR(f.phase, 0.25f, 1e-6);
    EXPECT_NEAR(f.x, 100.0f, 1e-4);
    EXPECT_NEAR(f.y, 199.5f, 1e-4);
    EXPECT_NEAR(f.green, 0.55f, 1e-5);
    EXPECT_NEAR(f.red, 0.725f, 1e-5);
    EXPECT_FLOAT_EQ(f.blue, 0.05f);
    EXPECT_FALSE(f.dead);
}

TEST(Flickers, ModeZeroCirclesFromPlusXThroughMinusY) {
    Texture& light = sheet(1, 1);
    spawnFlicker(light, 0, 0, 0, true, 0);
    Flicker& f = light.queues.flickers[0];
    f.phase = 0.49f;
    updateEffects();
    EXPECT_NEAR(f.x, -0.5f, 1e-5);
    EXPECT_NEAR(f.y, 0.0f, 1e-5);
    EXPECT_NEAR(f.green, 0.5f, 1e-5);
    EXPECT_NEAR(f.red, 0.725f, 1e-5);
    f.phase = 0.74f;
    updateEffects();
    EXPECT_NEAR(f.x, 0.0f, 1e-5);
    EXPECT_NEAR(f.y, 0.5f, 1e-5);
    EXPECT_NEAR(f.red, 0.55f + 0.2f - 0.025f, 1e-5);
}

TEST(Flickers, ModeOneAtHalfPhaseTurnsNegativeGreyAndStaysPut) {
    Texture& light = sheet(1, 1);
    spawnFlicker(light, 5, 6, 0, true, 1);
    Flicker& f = light.queues.flickers[0];
    f.phase = 0.49f;
    updateEffects();
    EXPECT_NEAR(f.red, -0.25f, 1e-6);
    EXPECT_NEAR(f.green, -0.25f, 1e-6);
    EXPECT_NEAR(f.blue, -0.25f, 1e-6);
    EXPECT_EQ(f.x, 5.0f);
    EXPECT_EQ(f.y, 6.0f);
}

TEST(Flickers, OtherModesOnlyMoveThePhase) {
    Texture& light = sheet(1, 1);
    spawnFlicker(light, 5, 6, 0, false, 7);
    updateEffects();
    EXPECT_FLOAT_EQ(light.queues.flickers[0].phase, 0.8f);
    EXPECT_FLOAT_EQ(light.queues.flickers[0].red, 0.8f);
    EXPECT_EQ(light.queues.flickers[0].x, 5.0f);
}

TEST(Flickers, OneShotIsRemovedOnTheThirdUpdateWhileLoopingOneWraps) {
    Texture& light = sheet(1, 1);
    spawnFlicker(light, 0, 0, 0, false, 0);
    spawnFlicker(light, 0, 0, 0, true, 0);
    light.queues.flickers[1].phase = 0.995f;
    updateEffects();
    ASSERT_EQ(light.queues.flickers.size(), 2u);
    EXPECT_FLOAT_EQ(light.queues.flickers[0].phase, 0.8f);
    EXPECT_FALSE(light.queues.flickers[0].dead);
    EXPECT_NEAR(light.queues.flickers[1].phase, 0.005f, 1e-6);  // 0.995 - 1 + 0.01
    updateEffects();
    ASSERT_EQ(light.queues.flickers.size(), 2u);
    EXPECT_TRUE(light.queues.flickers[0].dead);
    EXPECT_FLOAT_EQ(light.queues.flickers[0].phase, 0.8f);
    updateEffects();
    ASSERT_EQ(light.queues.flickers.size(), 1u);
    EXPECT_TRUE(light.queues.flickers[0].looping);
    update(300);
    EXPECT_EQ(light.queues.flickers.size(), 1u);
    EXPECT_FALSE(light.queues.flickers[0].dead);
}

TEST(Flickers, LoopingStartIsAFractionOfTheWholeRandomRange) {
    Texture& light = sheet(1, 1);
    std::srand(0);
    const double first = static_cast<double>(std::rand()) / RAND_MAX;
    const double second = static_cast<double>(std::rand()) / RAND_MAX;
    std::srand(0);
    spawnFlicker(light, 1, 2, 45, true, 0);
    spawnFlicker(light, 1, 2, 45, true, 0);
    EXPECT_FLOAT_EQ(light.queues.flickers[0].phase, static_cast<float>(first * 30 * 0.01));
    EXPECT_FLOAT_EQ(light.queues.flickers[1].phase, static_cast<float>(second * 30 * 0.01));
    for (const Flicker& f : light.queues.flickers) {
        EXPECT_GE(f.phase, 0.0f);
        EXPECT_LE(f.phase, 0.3f);
        EXPECT_FLOAT_EQ(f.speed, 0.01f);
        EXPECT_EQ(f.angle, 45.0f);
    }
    spawnFlicker(light, 1, 2, 45, false, 0);
    EXPECT_EQ(light.queues.flickers[2].phase, 0.0f);
    EXPECT_FLOAT_EQ(light.queues.flickers[2].speed, 0.8f);
}

TEST(Queues, SpriteBatchTakes3999AndDropsThe4000th) {
    Texture& crate = sheet(1, 1);
    for (int i = 0; i < 3998; ++i) pushSprite(crate, 0, 0, 0, 1, 1, 0);
    pushSprite(crate, 3, 7.5f, 8.5f, 1.0f, 2.0f, 90.0f);
    EXPECT_EQ(crate.queues.batchCount, 3999);
    const BatchSprite& last = crate.queues.batch[3998];
    EXPECT_EQ(last.frame, 3);
    EXPECT_EQ(last.x, 7.5f);
    EXPECT_EQ(last.y, 8.5f);
    EXPECT_EQ(last.extra2, 2.0f);
    EXPECT_EQ(last.angle, 90.0f);
    pushSprite(crate, 9, 1, 1, 1, 1, 1);
    pushSprite(crate, 9, 1, 1, 1, 1, 1);
    EXPECT_EQ(crate.queues.batchCount, 3999);
    EXPECT_EQ(crate.queues.batch[3999].frame, 0);
}

TEST(Queues, LightQueueTakes199AndDropsThe200th) {
    Texture& light = sheet(1, 1);
    for (int i = 0; i < 198; ++i) pushLight(light, 0, 0, 0, 1, 1, 1, 0);
    pushLight(light, 3, 4, 5, 0.38f, 0.35f, 0.25f, 1);
    EXPECT_EQ(light.queues.lightCount, 199);
    EXPECT_EQ(light.queues.lights[198].x, 3.0f);
    EXPECT_EQ(light.queues.lights[198].angle, 5.0f);
    EXPECT_EQ(light.queues.lights[198].blue, 0.25f);
    EXPECT_EQ(light.queues.lights[198].flag, 1);
    pushLight(light, 9, 9, 9, 9, 9, 9, 9);
    EXPECT_EQ(light.queues.lightCount, 199);
    EXPECT_EQ(light.queues.lights[199].x, 0.0f);
}

TEST(Queues, LiveFlickersOfLight1BecomeLightsOfTheirColour) {
    Texture& light = createTexture();
    testing::internal::CaptureStdout();
    loadSheet(light, "light1.png", 600, 600, 300, 300, 1, 1, loadNoImage);
    testing::internal::GetCapturedStdout();
    spawnFlicker(light, 10, 20, 15, true, 0);
    spawnFlicker(light, 30, 40, 0, false, 0);
    update(2);  // the one-shot is dead now but not yet removed
    ASSERT_EQ(light.queues.flickers.size(), 2u);
    ASSERT_TRUE(light.queues.flickers[1].dead);
    queueFlickerLights();
    ASSERT_EQ(light.queues.lightCount, 1);
    const Flicker& f = light.queues.flickers[0];
    const LightSprite& queued = light.queues.lights[0];
    EXPECT_EQ(queued.x, f.x);
    EXPECT_EQ(queued.y, f.y);
    EXPECT_EQ(queued.angle, 15.0f);
    EXPECT_EQ(queued.red, f.red);
    EXPECT_EQ(queued.green, f.green);
    EXPECT_EQ(queued.blue, 0.05f);
    EXPECT_EQ(queued.flag, 0);
}
