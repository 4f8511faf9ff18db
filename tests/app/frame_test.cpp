// Whole frames in a real window: the unlit scene, and the HUD drawn over the lightmap, in view
// units that stretch with the window.
#include <gtest/gtest.h>
#include <GL/gl.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "actors/box.h"
#include "core/camera.h"
#include "app/frame_drawing.h"
#include "game/input.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

namespace {
// Sheets of plain colours, so what a pixel shows is known: an opaque white HUD panel, the
// needle and the lamps fully transparent, every other sheet missing (drawn untextured white).
class Frame : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kelvoran-frame-" + std::to_string(getpid()));
        fs::create_directories(dir);
        previous = fs::current_path();
        fs::current_path(dir);
        ASSERT_EQ(std::system("convert -size 256x256 xc:white PNG32:hud0.png && "
                              "convert -size 256x256 xc:none PNG32:hud1.png && "
                              "convert -size 100x90 xc:none PNG32:hud2.png"),
                  0);
        openTestWindow(1024, 600);
        setCamera(0, 0, 1024, 600, 1, 1, 0);
        captureStdout([] { loadAllTextures(); });
        createWorld();
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    // renderFrame swaps, so what it drew is in the front buffer.
    Rgba shown(int x, int yFromTop, int windowHeight) {
        glReadBuffer(GL_BACK);
        const Rgba colour = readPixel(x, windowHeight - 1 - yFromTop);
        glReadBuffer(GL_BACK);
        return colour;
    }
    void expectColour(Rgba c, float r, float g, float b, const char* what) {
        EXPECT_NEAR(c.r, r, 0.02) << what;
        EXPECT_NEAR(c.g, g, 0.02) << what;
        EXPECT_NEAR(c.b, b, 0.02) << what;
    }
    fs::path dir, previous;
};
}  // namespace

TEST_F(Frame, WithoutLightsTheSceneIsDarkenedAndTheHudIsNot) {
    renderFrame();
    // White background times twice the ambient lightmap level (0.025, 0.025, 0.125).
    expectColour(shown(600, 300, 600), 0.05f, 0.05f, 0.25f, "unlit scene");
    expectColour(shown(100, 500, 600), 1, 1, 1, "HUD panel");
}

TEST_F(Frame, TheHudPanelSitsAtTheBottomLeftAndStretchesWithTheWindow) {
    renderFrame();
    // The panel covers view x -32..224 and y 374..630.
    expectColour(shown(220, 500, 600), 1, 1, 1, "inside the right edge");
    expectColour(shown(228, 500, 600), 0.05f, 0.05f, 0.25f, "beyond the right edge");
    expectColour(shown(100, 378, 600), 1, 1, 1, "inside the top edge");
    expectColour(shown(100, 370, 600), 0.05f, 0.05f, 0.25f, "above the top edge");
    expectColour(shown(2, 598, 600), 1, 1, 1, "bottom-left corner");

    openTestWindow(2048, 1200);
    renderFrame();  // the first swap after a resize lets the drawable take its new size
    renderFrame();
    expectColour(shown(440, 1000, 1200), 1, 1, 1, "inside the right edge, twice the size");
    expectColour(shown(456, 1000, 1200), 0.05f, 0.05f, 0.25f, "beyond it, twice the size");
    expectColour(shown(200, 756, 1200), 1, 1, 1, "inside the top edge, twice the size");
    expectColour(shown(200, 740, 1200), 0.05f, 0.05f, 0.25f, "above it, twice the size");
}

namespace {
std::vector<uint8_t> framePixels() {
    std::vector<uint8_t> pixels(1024 * 600 * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 1024, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
}  // namespace

TEST_F(Frame, GridKeyShowsAGridAroundTheQuadsAndTwiceGivesBackThePicture) {
    clearMapQuads(false);  // what earlier tests left went with their worlds
    createQuad(-100, -100, 100, -100, 100, 100, -100, 100);  // world = window pixel - (512, 300)
    renderFrame();  // lets a drawable resized by an earlier test take its size
    renderFrame();
    const std::vector<uint8_t> before = framePixels();
    onKeyDown('g', 0, 0), onKeyUp('g', 0, 0);
    renderFrame();
    const std::vector<uint8_t> grid = framePixels();
    onKeyDown('g', 0, 0), onKeyUp('g', 0, 0);
    renderFrame();
    EXPECT_TRUE(framePixels() == before);
    // The quad masks the grid; beside it, one column in 8 of the unlit scene is a line.
    int changedInside = 0, lineColumns = 0;
    for (int x = 512 + 108; x < 512 + 172; ++x) {  // world x 108..172, a row at world y 150
        const size_t i = (static_cast<size_t>(600 - 1 - 450) * 1024 + x) * 4;
        lineColumns += grid[i + 2] > before[i + 2] + 3 ? 1 : 0;
    }
    for (int y = 210; y < 390; ++y)
        for (int x = 422; x < 602; ++x) {
            const size_t i = (static_cast<size_t>(600 - 1 - y) * 1024 + x) * 4;
            changedInside += grid[i] != before[i] || grid[i + 2] != before[i + 2];
        }
    EXPECT_EQ(lineColumns, 8);
    EXPECT_EQ(changedInside, 0);
    clearMapQuads(true);
}

TEST_F(Frame, ZoomedOutByTheWheelTheSceneStillFillsTheWindow) {
    for (int i = 0; i < 4; ++i) onMouseButton(4, 0, 512, 300);  // zoom 0.5
    renderFrame();  // lets a drawable resized by an earlier test take its size
    renderFrame();
    expectColour(shown(1020, 4, 600), 0.05f, 0.05f, 0.25f, "top-right corner");
    expectColour(shown(1020, 596, 600), 0.05f, 0.05f, 0.25f, "bottom-right corner");
    expectColour(shown(600, 300, 600), 0.05f, 0.05f, 0.25f, "centre");
    setCamera(0, 0, 1024, 600, 1, 1, 0);
}

TEST_F(Frame, AFrameKeepingTheLightmapOfTheSameLightsIsTheSameFrameToTheByte) {
    auto wholeWindow = [] {
        std::vector<unsigned char> pixels(1024 * 600 * 4);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, 1024, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    openTestWindow(1024, 600);
    captureStdout([] {
        for (int i = 0; i < 3; ++i) spawnActor<Box>(-200.0f + 150.0f * i, 40.0f * i);
    });
    createQuad(-120, -60, -40, -60, -40, 20, -120, 20);  // it casts shadows too
    renderFrame();
    renderFrame();  // now lit by the boxes' lights
    const std::vector<unsigned char> lit = wholeWindow();
    int32_t queued = 0;
    for (const auto& texture : allTextures()) queued += texture->queues.lightCount;
    ASSERT_EQ(queued, 3);

    renderFrameKeepingLightmap();
    EXPECT_TRUE(wholeWindow() == lit) << "a kept lightmap changed the picture";
    int32_t queuedAfter = 0;
    for (const auto& texture : allTextures()) queuedAfter += texture->queues.lightCount;
    EXPECT_EQ(queuedAfter, 3) << "the next frame's lights, as a whole frame leaves them";

    // The lights are in that picture: without them it is another one.
    clearActors();
    renderFrame();
    renderFrame();
    const std::vector<unsigned char> unlit = wholeWindow();
    size_t differing = 0;
    for (size_t i = 0; i < lit.size(); ++i) differing += lit[i] != unlit[i];
    EXPECT_GT(differing, 10000u);
    clearMapQuads(true);
}
