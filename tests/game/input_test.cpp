// Keys and mouse: the key table, scrolling, and the actions keys trigger.
#include <gtest/gtest.h>


#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/camera.h"
#include "core/keyboard.h"
#include "core/sound_cues.h"
#include "game/host.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "map/map_editor.h"
#include "map/map_quad.h"
#include "render/texture.h"

namespace {

void loadSheetsWithoutGl() {
    testing::internal::CaptureStdout();
    loadAllTextures(loadNoImage);
    testing::internal::GetCapturedStdout();
}

struct RecordedWindow {
    int leaves = 0, fullScreens = 0;
    std::vector<std::pair<int, int>> windowed;
} recorded;

// A host that counts the window actions asked of it, from zero.
Host recordingHost() {
    recorded = RecordedWindow();  // each test counts its own calls, also when tests repeat
    Host h = headlessHost();
    h.window.leaveMainLoop = [] { ++recorded.leaves; };
    h.window.enterFullScreen = [] { ++recorded.fullScreens; };
    h.window.leaveFullScreen = [](int width, int height) { recorded.windowed.push_back({width, height}); };
    return h;
}

void stepWithKeys(std::initializer_list<int> keys) {
    releaseAllKeys();
    for (int key : keys) pressKey(key);
    updateStep();
    releaseAllKeys();
}
}  // namespace

TEST(Keyboard, LettersAreCaseSensitiveAndCodesWrapAt256) {
    pressKey('W');
    EXPECT_EQ(isKeyDown('W'), 1);
    EXPECT_EQ(isKeyDown('w'), 0);
    pressKey(256 + 'a');
    EXPECT_EQ(isKeyDown('a'), 1);
    pressKey(-1);
    EXPECT_EQ(isKeyDown(255), 1);
    releaseKey(512 + 'a');
    EXPECT_EQ(isKeyDown('a'), 0);
}

TEST(Keyboard, HeldKeysScrollTheCameraTwoUnitsPerStep) {
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    stepWithKeys({'w'});
    EXPECT_FLOAT_EQ(cameraPosition().y, -2);
    stepWithKeys({'w', 's'});
    EXPECT_FLOAT_EQ(cameraPosition().y, -2);
    stepWithKeys({'d', 's'});
    EXPECT_FLOAT_EQ(cameraPosition().x, 2);
    EXPECT_FLOAT_EQ(cameraPosition().y, 0);
    stepWithKeys({'a', 'd'});
    EXPECT_FLOAT_EQ(cameraPosition().x, 2);
    stepWithKeys({'W', 'A', 'S', 'D'});  // Caps Lock: upper case scrolls nothing
    EXPECT_FLOAT_EQ(cameraPosition().x, 2);
    EXPECT_FLOAT_EQ(cameraPosition().y, 0);
}

TEST(Keyboard, FullScreenToggleReturnsToTheViewSizeAtTheTopLeft) {
    const ScopedHost host(recordingHost());
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    onKeyDown('f', 0, 0);
    EXPECT_TRUE(fullScreen());
    EXPECT_EQ(recorded.fullScreens, 1);
    onKeyDown('F', 0, 0);  // upper case toggles too
    EXPECT_FALSE(fullScreen());
    ASSERT_EQ(recorded.windowed.size(), 1u);
    EXPECT_EQ(recorded.windowed[0], std::make_pair(1024, 600));
    EXPECT_FLOAT_EQ(viewSize().x, 1024);
}

TEST(Keyboard, EscapeLeavesTheLoopAndSavesTheMap) {
    const ScopedHost host(recordingHost());
    ASSERT_FALSE(std::filesystem::exists("map.txt"));  // the case's own, empty working folder
    onKeyDown(27, 0, 0);
    EXPECT_EQ(recorded.leaves, 1);
    EXPECT_TRUE(std::filesystem::exists("map.txt"));
    EXPECT_EQ(std::filesystem::file_size("map.txt"), 4u);  // an empty map: just the count
}

TEST(Keyboard, KeyZSpawnsSixBloomBurstsInsideTheirAreaEachCuingItsSound) {
    loadSheetsWithoutGl();
    std::srand(0);
    clearSoundCues();
    onKeyDown('z', 0, 0);
    const Texture* bloom = findTexture("bloomtest.png");
    ASSERT_NE(bloom, nullptr);
    ASSERT_EQ(bloom->queues.bursts.size(), 6u);
    bool spread = false;
    for (const Burst& burst : bloom->queues.bursts) {
        EXPECT_GE(burst.x, 32);
        EXPECT_LE(burst.x, 800);
        EXPECT_GE(burst.y, 32);
        EXPECT_LE(burst.y, 600);
        spread = spread || burst.x > 300 || burst.y > 300;
    }
    EXPECT_TRUE(spread) << "bursts crowd the corner: the random fraction is scaled wrongly";
    std::vector<SoundCue> cues;
    takeSoundCues(cues);
    ASSERT_EQ(cues.size(), 6u);
    for (size_t i = 0; i < cues.size(); ++i) {
        EXPECT_EQ(cues[i].kind, SoundCueKind::Burst);
        EXPECT_EQ(cues[i].x, bloom->queues.bursts[i].x);  // heard where it is seen
        EXPECT_EQ(cues[i].y, bloom->queues.bursts[i].y);
    }
}

TEST(Keyboard, KeyPPlacesItsFirstFlickerAtTheSamePointEveryRun) {
    loadSheetsWithoutGl();
    Texture* light = findTexture("light1.png");
    ASSERT_NE(light, nullptr);
    std::srand(0);
    onKeyDown('p', 0, 0);
    std::srand(0);
    onKeyDown('p', 0, 0);
    ASSERT_EQ(light->queues.flickers.size(), 2u);
    EXPECT_EQ(light->queues.flickers[0].centerX, light->queues.flickers[1].centerX);
    EXPECT_EQ(light->queues.flickers[0].centerY, light->queues.flickers[1].centerY);
    EXPECT_TRUE(light->queues.flickers[0].looping);
    EXPECT_LE(std::abs(light->queues.flickers[0].centerX), 1000);
    EXPECT_LE(std::abs(light->queues.flickers[0].centerY), 1000);
}

TEST(Mouse, ClicksBeforeAnyMotionLandAtTheOriginAndTheFirstMotionDragsFromThere) {
    loadSheetsWithoutGl();
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    setWindowSize(1024, 600);
    setEditorEnabled(true);
    auto* quad = &registerQuad();
    setGeometry(*quad, -40, -40, 40, -40, 40, 40, -40, 40);
    onMouseButton(0, 0, 0, 0);  // select at (0, 0)
    onMouseButton(0, 1, 0, 0);
    EXPECT_TRUE(quad->selected);
    onMouseButton(0, 0, 0, 0);  // grab the whole quad
    EXPECT_EQ(quad->editMode, 4);
    onMouseButton(2, 1, 0, 0);  // other buttons do nothing: still grabbed
    EXPECT_EQ(quad->editMode, 4);
    onMouseMove(512 + 10, 300 + 5);  // world (10, 5)
    EXPECT_FLOAT_EQ(mouseWorld().x, 10);
    EXPECT_FLOAT_EQ(mouseWorld().y, 5);
    EXPECT_FLOAT_EQ(quad->vertices[0].x, -30);
    EXPECT_FLOAT_EQ(quad->vertices[0].y, -35);
    onMouseMove(512 + 12, 300 + 5);
    EXPECT_FLOAT_EQ(quad->vertices[0].x, -28);
    onMouseButton(0, 1, 0, 0);  // release snaps to the 8-unit grid
    EXPECT_EQ(quad->editMode, -1);
    EXPECT_FLOAT_EQ(quad->vertices[0].x, -32);
    EXPECT_FLOAT_EQ(quad->vertices[0].y, -32);
}
