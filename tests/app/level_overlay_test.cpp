// level_overlay_test.cpp: a level's labels, its stopped line, its keys in the help panel and the
// finish card, drawn over a real frame and read back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/frame_drawing.h"
#include "core/camera.h"
#include "game/help_state.h"
#include "game/host.h"
#include "game/level_finish.h"
#include "game/level_presentation.h"
#include "physics/physics_world.h"
#include "render/font.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {
constexpr int kWidth = 1024, kHeight = 600;

std::vector<unsigned char> frame() {
    renderFrame();
    std::vector<unsigned char> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Pixels inside a rectangle given from the top-left that pass test(r, g, b).
template <class Test>
int countIn(const std::vector<unsigned char>& p, int x0, int y0, int x1, int y1, Test test) {
    int count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const size_t i = (static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 4;
            count += test(p[i], p[i + 1], p[i + 2]);
        }
    }
    return count;
}

int changedIn(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int x0, int y0,
              int x1, int y1) {
    int changed = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const size_t i = (static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 4;
            changed += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
        }
    }
    return changed;
}

bool pureGreen(unsigned char r, unsigned char g, unsigned char b) { return r < 40 && g > 200 && b < 40; }

void openScene() {
    openTestWindow(kWidth, kHeight);
    setCamera(0, 0, kWidth, kHeight, 1, 1, 0);
    captureStdout([] {
        loadAllTextures(loadNoImage);
        createLightmapTexture(true);
    });
    createWorld();
    resetLevelPresentation();
    resetLevelFinish();
}
}  // namespace

TEST(LevelOverlay, LabelsAreDrawnWhereAndAsTheLevelSaysAndGoWithoutATrace) {
    openScene();
    ASSERT_TRUE(fontAvailable()) << findFontFile();
    const auto before = frame();
    LevelLabel title;
    title.id = "title";
    title.text = "Level one";
    title.x = 300;
    title.y = 200;
    title.size = 40;
    title.rgba = 0x00ff00ffu;
    setLevelLabel(title);
    LevelLabel sign = title;
    sign.id = "sign";
    sign.text = "here";
    sign.world = true;
    sign.x = -400;  // the camera at the origin: window pixel (112, 400)
    sign.y = 100;
    sign.size = 20;
    setLevelLabel(sign);
    const auto shown = frame();
    // The title: green pixels inside its measured box from (300, 200), none left of it.
    const Vec2f box = measureFontText(title.text, title.size);
    EXPECT_GT(box.x, 120.0f);
    EXPECT_LT(box.x, 260.0f);
    const int inTitle = countIn(shown, 300, 200, 300 + static_cast<int>(box.x) + 1,
                                200 + static_cast<int>(box.y) + 1, pureGreen);
    EXPECT_GT(inTitle, 400);
    EXPECT_EQ(countIn(shown, 200, 190, 298, 260, pureGreen), 0);
    EXPECT_GT(countIn(shown, 112, 400, 170, 430, pureGreen), 50) << "the world label";

    // The camera moves 100 units right: the world label moves 100 pixels left, the title stays.
    setCamera(100, 0, kWidth, kHeight, 1, 1, 0);
    const auto moved = frame();
    EXPECT_GT(countIn(moved, 12, 400, 70, 430, pureGreen), 50);
    EXPECT_EQ(countIn(moved, 112, 400, 170, 430, pureGreen), 0);
    EXPECT_EQ(countIn(moved, 300, 200, 560, 260, pureGreen), inTitle);
    setCamera(0, 0, kWidth, kHeight, 1, 1, 0);

    removeLevelLabel("title");
    removeLevelLabel("sign");
    EXPECT_TRUE(before == frame()) << "no labels must give back the very same pixels";
    std::string why;
    EXPECT_TRUE(glAtRest(why)) << why;
}

TEST(LevelOverlay, TheStoppedLineShowsAtTheTopLeftUntilItIsCleared) {
    openScene();
    const auto before = frame();
    setStoppedScriptLine("map.lua stopped: map.lua:3: attempt to call a nil value");
    const auto stopped = frame();
    EXPECT_GT(changedIn(before, stopped, 0, 40, 500, 70), 300);
    EXPECT_EQ(changedIn(before, stopped, 0, 70, kWidth, kHeight), 0);
    setStoppedScriptLine("");
    EXPECT_TRUE(before == frame());
}

TEST(LevelOverlay, TheHelpPanelListsTheLevelsKeysAndGreysWhatItTurnedOff) {
    openScene();
    toggleHelpPanel();
    const auto panel = frame();
    // Everything allowed set again, with no keys: the very same panel.
    setLevelAllows(LevelAllows());
    setLevelKeys({});
    EXPECT_TRUE(panel == frame());

    setLevelKeys({{"x", "drop a weight"}, {"left", "steer"}, {"return", "go"}});
    const auto withKeys = frame();
    // Two more lines for the heading and its blank line, and two rows of keys: the panel grows
    // 36 pixels each way from the middle, and its old rows move up 36.
    const int rowsBelow = changedIn(panel, withKeys, 0, 480, kWidth, kHeight);
    EXPECT_GT(rowsBelow, 500) << "the panel grew downward";

    LevelAllows none;
    none.grab = none.spawn = none.cars = none.editor = false;
    setLevelKeys({});
    setLevelAllows(none);
    const auto greyed = frame();
    // The editor column's key names are blue while allowed and grey when not.
    auto blue = [](unsigned char r, unsigned char g, unsigned char b) { return b > 200 && g > 180 && r < 180; };
    EXPECT_GT(countIn(panel, 520, 100, 640, 420, blue), 500);
    EXPECT_EQ(countIn(greyed, 520, 100, 640, 420, blue), 0);
    EXPECT_GT(countIn(greyed, 130, 100, 250, 420, blue), 500) << "the play column stays";
    hideHelpPanel();
    setLevelAllows(LevelAllows());
}

TEST(LevelOverlay, TheFinishCardShowsAndKeepsTheBestInTheUsersDataFolder) {
    openScene();
    const std::string data = enterTempFolder("kelvoran-best");
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    const auto before = frame();
    finishLevel(12.5, "Flag reached", 1234, false);
    const auto card = frame();
    EXPECT_GT(changedIn(before, card, 312, 200, 712, 400), 50000) << "no card in the middle";
    std::ifstream best(data + "/kelvoran/best.txt");
    std::string line;
    std::getline(best, line);
    EXPECT_EQ(line.substr(0, 5), "12.5\t");
    resetLevelFinish();
    EXPECT_TRUE(before == frame());
    unsetenv("XDG_DATA_HOME");
    leaveTempFolder(data);
}
