// Box: its spawn line, pose copy, resting place, lifetime and what it queues per frame.
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include "actors/box.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {


void loadTexturesHeadless() {
    if (findTexture("image.png") == nullptr) {
        captureStdout([] { loadAllTextures(loadNoImage); });
    }
    for (const auto& texture : allTextures()) {
        texture->queues.batchCount = 0;
        texture->queues.lightCount = 0;
    }
}

void runSteps(int count) {
    for (int i = 0; i < count; ++i) {
        updateActors();
        getWorld()->Step(0.01f, 5, 6);
        postStepActors();
    }
}

Box* quietBox(float x, float y) {
    Box* box = nullptr;
    captureStdout([&] { box = spawnActor<Box>(x, y); });
    return box;
}

class BoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearActors();
        createWorld();
    }
    void TearDown() override { clearActors(); }
};

TEST_F(BoxTest, SpawnLinePrintsPositionAndTheBoxPointerTwice) {
    Box* box = nullptr;
    const std::string printed = captureStdout([&] { box = spawnActor<Box>(412.0f, 233.5f); });
    std::ostringstream pointer;
    pointer << static_cast<const void*>(box);
    EXPECT_EQ(printed, "  Box - POS:412/233.5/ - " + pointer.str() + " / " + pointer.str() + "\n");
    EXPECT_EQ(pointer.str().rfind("0x", 0), 0u);
}

TEST_F(BoxTest, NewBoxIsLevelAtRestAndFallsFromTheFirstStep) {
    Box* box = quietBox(200.0f, 100.0f);
    EXPECT_EQ(box->body->GetWorld(), getWorld());
    EXPECT_EQ(box->body->GetType(), b2_dynamicBody);
    EXPECT_EQ(box->body->GetPosition(), b2Vec2(10.0f, 5.0f));
    EXPECT_EQ(box->body->GetAngle(), 0.0f);
    EXPECT_EQ(box->body->GetLinearVelocity(), b2Vec2(0.0f, 0.0f));
    runSteps(1);
    EXPECT_GT(box->body->GetLinearVelocity().y, 0.0f);
    EXPECT_GT(box->y, 100.0f);
    EXPECT_FLOAT_EQ(box->x, 200.0f);
}

TEST_F(BoxTest, PostStepCopiesThePoseInWorldUnitsAndDegrees) {
    Box* box = quietBox(0.0f, 0.0f);
    box->body->SetTransform(b2Vec2(3.25f, -4.5f), 0.5f);
    box->postStep();
    EXPECT_FLOAT_EQ(box->x, 65.0f);
    EXPECT_FLOAT_EQ(box->y, -90.0f);
    EXPECT_FLOAT_EQ(box->angle, 28.647888f);  // same sense as the body
    box->body->SetTransform(b2Vec2(0.0f, 0.0f), -3.1415927f);
    box->postStep();
    EXPECT_FLOAT_EQ(box->angle, -180.0f);  // not wrapped
}

TEST_F(BoxTest, ComesToRestWithItsCentreHalfABoxAboveTheGround) {
    Box* box = quietBox(200.0f, 300.0f);
    runSteps(400);
    EXPECT_FALSE(box->body->IsAwake());
    EXPECT_NEAR(box->y, 724.0f, 0.5f);  // 32-unit square on the top face at 740
    EXPECT_NEAR(box->x, 200.0f, 0.01f);
    EXPECT_NEAR(box->angle, 0.0f, 0.01f);
}

TEST_F(BoxTest, DiesInPass2401AndGoesWithItsBodyInPass2402) {
    Box* box = quietBox(200.0f, 300.0f);
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);
    for (int pass = 0; pass < 2400; ++pass) updateActors();
    EXPECT_FALSE(box->dead);
    updateActors();
    EXPECT_TRUE(box->dead);
    EXPECT_EQ(allActors().size(), 1u);
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);
    updateActors();
    EXPECT_TRUE(allActors().empty());
    EXPECT_EQ(getWorld()->GetBodyCount(), 1);  // the ground
}

TEST_F(BoxTest, DestructorDestroysTheBodyInTheWorldThatMadeIt) {
    Box* box = quietBox(200.0f, 300.0f);
    WorldPtr old = createWorld();  // the box was not moved along
    box->dead = true;
    updateActors();
    EXPECT_TRUE(allActors().empty());
    EXPECT_EQ(old->GetBodyCount(), 1);
    EXPECT_EQ(getWorld()->GetBodyCount(), 1);
    old.reset();
}

TEST_F(BoxTest, DrawQueuesOneSpriteAndOneWarmLight) {
    loadTexturesHeadless();
    Box* box = quietBox(100.0f, 50.0f);
    box->body->SetTransform(b2Vec2(6.0f, 7.0f), 0.25f);
    box->postStep();
    drawActors();

    Texture* image = findTexture("image.png");
    Texture* light = findTexture("light1.png");
    ASSERT_NE(image, nullptr);
    ASSERT_NE(light, nullptr);
    ASSERT_EQ(image->queues.batchCount, 1);
    const BatchSprite& sprite = image->queues.batch[0];
    EXPECT_EQ(sprite.frame, 0);
    EXPECT_EQ(sprite.x, 120.0f);
    EXPECT_EQ(sprite.y, 140.0f);
    EXPECT_EQ(sprite.extra1, 1.0f);
    EXPECT_EQ(sprite.extra2, 1.0f);
    EXPECT_EQ(sprite.angle, box->angle);
    ASSERT_EQ(light->queues.lightCount, 1);
    const LightSprite& glow = light->queues.lights[0];
    EXPECT_EQ(glow.x, 120.0f);
    EXPECT_EQ(glow.y, 140.0f);
    EXPECT_EQ(glow.angle, box->angle);
    EXPECT_EQ(glow.red, 0.38f);
    EXPECT_EQ(glow.green, 0.35f);
    EXPECT_EQ(glow.blue, 0.25f);
    EXPECT_EQ(glow.flag, 0);
    for (const auto& texture : allTextures()) {
        if (texture.get() != image) {
            EXPECT_EQ(texture->queues.batchCount, 0) << texture->fileName;
        }
        if (texture.get() != light) {
            EXPECT_EQ(texture->queues.lightCount, 0) << texture->fileName;
        }
    }
}

TEST_F(BoxTest, QueueLimitsBoundWhatManyBoxesShow) {
    loadTexturesHeadless();
    captureStdout([] {
        for (int i = 0; i < 4100; ++i) spawnActor<Box>(static_cast<float>(i % 64) * 40.0f,
                                               static_cast<float>(i / 64) * -40.0f);
    });
    drawActors();
    EXPECT_EQ(findTexture("image.png")->queues.batchCount, 3999);
    EXPECT_EQ(findTexture("light1.png")->queues.lightCount, 199);
    // The last queued entries belong to the earliest boxes: later ones were dropped.
    const LightSprite& lastLight = findTexture("light1.png")->queues.lights[198];
    EXPECT_EQ(lastLight.x, allActors()[198]->x);
    EXPECT_EQ(lastLight.y, allActors()[198]->y);
    const BatchSprite& lastSprite = findTexture("image.png")->queues.batch[3998];
    EXPECT_EQ(lastSprite.x, allActors()[3998]->x);
    EXPECT_EQ(lastSprite.y, allActors()[3998]->y);
}

TEST_F(BoxTest, WithoutLoadedSheetsDrawingQueuesNothingAndDoesNotCrash) {
    if (findTexture("image.png") != nullptr) GTEST_SKIP() << "sheets already loaded in this process";
    Box* box = quietBox(10.0f, 10.0f);
    EXPECT_EQ(box->texture, nullptr);
    drawActors();
    runSteps(2);
    EXPECT_GT(box->y, 10.0f);
}

TEST(BoxSpawn, PassesOnAboutFourAndAHalfPercentOfMilliseconds) {
    int due = 0;
    for (int32_t t = 0; t < 100000; ++t) due += boxSpawnDue(t) ? 1 : 0;
    EXPECT_EQ(due, 4518);
    EXPECT_FALSE(boxSpawnDue(0));
    EXPECT_TRUE(boxSpawnDue(7));    // sin(630) = 0.9939
    EXPECT_FALSE(boxSpawnDue(1));   // sin(90) = 0.894
}

TEST(BoxSpawn, ProductWrapsLikeA32BitInteger) {
    // 90 t overflows past about 6.6 hours; the wrapped product decides, not the true one.
    EXPECT_TRUE(boxSpawnDue(23860954));    // wraps to -2147481436: sin 0.9969, unwrapped -0.848
    EXPECT_TRUE(boxSpawnDue(-23860937));   // wraps to 2147482966: sin 0.9994
    EXPECT_FALSE(boxSpawnDue(23860955));
}

}  // namespace
