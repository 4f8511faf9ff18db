// map_reload_test.cpp: reloading the map while boxes and a car are alive and falling.
#include <box2d/box2d.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "game/map_loading.h"
#include "actors/actor.h"
#include "actors/box.h"
#include "actors/car.h"
#include "map/map_file.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {

// Saves, leaving the reason to what saveMap prints on standard error.
bool saveMapNow() {
    std::string why;
    return saveMap(why);
}


constexpr float kFloorTop = 300.0f;  // world units
constexpr float kBoxHalf = 16.0f;

void step() {
    updateActors();
    getWorld()->Step(0.01f, 5, 6);
    postStepActors();
}

class MapReloadTest : public testing::Test {
protected:
    void SetUp() override {
        directory = enterTempFolder("kelvoran-reload");
        captureStdout([] { loadAllTextures(loadNoImage); });
    }
    void TearDown() override {
        // While their world is alive: the next test's world would leave the bodies dangling.
        clearActors();
        clearMapQuads(true);
        leaveTempFolder(directory);
    }
    std::string directory;
};

}  // namespace

TEST_F(MapReloadTest, ActorsKeepFallingAndLandOnTheReloadedMap) {
    // A floor written to map.txt, then the game starts from it.
    createWorld();
    auto* floor = &registerQuad();
    setGeometry(*floor, -200, kFloorTop, 400, kFloorTop, 400, kFloorTop + 40, -200, kFloorTop + 40);
    saveMapNow();
    clearMapQuads(true);
    captureStdout(loadMap);
    ASSERT_EQ(getQuadCount(), 1);

    Box* lower = nullptr;
    Box* upper = nullptr;
    Car* car = nullptr;
    captureStdout([&] {
        lower = spawnActor<Box>(0, 100);
        upper = spawnActor<Box>(0, 40);
        car = spawnActor<Car>(200, 150);
    });
    for (int i = 0; i < 20; ++i) step();
    const float fallingY = lower->y;
    EXPECT_GT(fallingY, 100.0f);

    b2World* before = getWorld();
    EXPECT_EQ(captureStdout(loadMap).rfind("Loading map.txt\nFile exist\nFind 1 quads\n", 0), 0u);
    ASSERT_NE(getWorld(), before);
    ASSERT_EQ(getQuadCount(), 1);
    EXPECT_EQ(lower->body->GetWorld(), getWorld());
    EXPECT_EQ(upper->body->GetWorld(), getWorld());
    EXPECT_EQ(car->body->GetWorld(), getWorld());
    EXPECT_EQ(getWorld()->GetBodyCount(), 5);  // ground, the floor's shared body, two boxes, car
    EXPECT_GT(lower->body->GetLinearVelocity().y, 0.0f);  // still on its way down

    for (int i = 0; i < 400; ++i) step();
    EXPECT_GT(lower->y, fallingY);
    EXPECT_NEAR(lower->y, kFloorTop - kBoxHalf, 1.0f);
    EXPECT_NEAR(upper->y, kFloorTop - 3 * kBoxHalf, 1.5f);  // resting on the lower box
    EXPECT_LT(car->y, kFloorTop);
    EXPECT_GT(car->y, kFloorTop - 40.0f);
}

TEST_F(MapReloadTest, StarterMapLoadsWithAFixtureForEveryQuadAndCatchesTheCar) {
    const std::string copy = "cp '" KELVORAN_ASSETS "/map.txt' map.txt";
    ASSERT_EQ(std::system(copy.c_str()), 0);
    const std::string out = captureStdout(loadMap);
    EXPECT_EQ(out.rfind("End of loading\n"), out.size() - 15);
    ASSERT_GT(getQuadCount(), 8);
    for (const auto& quad : mapQuads()) {
        EXPECT_NE(quad.fixture, nullptr);
        EXPECT_TRUE(cornersPassValidation(quad.vertices));
    }
    EXPECT_FALSE(anyQuadAt({10, 20}));  // the spawn point is open air
    Car* car = nullptr;
    captureStdout([&] { car = spawnActor<Car>(10, 20); });
    for (int i = 0; i < 300; ++i) step();
    EXPECT_LT(car->y, 200.0f);  // standing on the floor under the spawn
    EXPECT_GT(car->y, 150.0f);
}

TEST_F(MapReloadTest, EditingAfterAReloadBuildsFixturesInTheNewWorldOnly) {
    createWorld();
    auto* quad = &registerQuad();
    setGeometry(*quad, 30, 30, 70, 30, 70, 70, 30, 70);
    saveMapNow();
    captureStdout(loadMap);
    ASSERT_EQ(getQuadCount(), 1);
    MapQuad& loaded = getQuad(0);
    setGeometry(loaded, 30, 30, 80, 30, 80, 70, 30, 70);
    EXPECT_EQ(loaded.fixture->GetBody()->GetWorld(), getWorld());
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);
    getWorld()->Step(0.01f, 5, 6);
}
