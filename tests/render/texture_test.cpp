// texture_test.cpp: sheet grids and quads, paired glow frames, the start-up console block,
// the registry, and loading through the real image library.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "render/texture.h"
#include "support/gl_window.h"

namespace {
std::vector<std::string> requested;

// Stands in for the image library: no GL at all, and a distinct name per file.
uint32_t headlessLoader(const std::string& fileName) {
    requested.push_back(fileName);
    return static_cast<uint32_t>(requested.size());
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const SheetSpec& specOf(const std::string& name) {
    for (const SheetSpec& sheet : startupSheets)
        if (name == sheet.fileName) return sheet;
    ADD_FAILURE() << name << " is not in the start-up table";
    return startupSheets[0];
}

Texture& laidOut(const std::string& name) {
    const SheetSpec& s = specOf(name);
    Texture* texture = &createTexture();
    std::ostringstream log;
    layoutSheet(*texture, s.width, s.height, s.anchorX, s.anchorY, s.columns, s.rows, log);
    return *texture;
}

std::vector<int32_t> quadOf(const Texture& texture, int32_t frame) {
    return std::vector<int32_t>(texture.vertices.begin() + frame * 8,
                                texture.vertices.begin() + frame * 8 + 8);
}
}  // namespace

TEST(SheetLayout, EveryStartupSheetMapsItsGridCellsOntoOneAnchoredQuad) {
    for (const SheetSpec& s : startupSheets) {
        SCOPED_TRACE(s.fileName);
        const Texture& t = laidOut(s.fileName);
        ASSERT_EQ(t.frameCount, s.columns * s.rows);
        ASSERT_EQ(t.texCoords.size(), static_cast<size_t>(t.frameCount) * 8);
        ASSERT_EQ(t.vertices.size(), static_cast<size_t>(t.frameCount) * 8);
        for (int32_t k = 0; k < t.frameCount; ++k) {
            const double j = k % s.columns, i = k / s.columns;
            const double s0 = j / s.columns, s1 = (j + 1) / s.columns;
            const double t0 = i / s.rows, t1 = (i + 1) / s.rows;
            const double expected[8] = {s0, t0, s1, t0, s1, t1, s0, t1};
            for (int n = 0; n < 8; ++n) EXPECT_NEAR(t.texCoords[k * 8 + n], expected[n], 1e-6) << k;
            const int32_t x0 = -s.anchorX, y0 = -s.anchorY;
            const int32_t x1 = s.width - s.anchorX, y1 = s.height - s.anchorY;
            EXPECT_EQ(quadOf(t, k), (std::vector<int32_t>{x0, y0, x1, y0, x1, y1, x0, y1})) << k;
        }
    }
}

TEST(SheetLayout, NarrowAnimationFramesSitLeftOfTheirAnchor) {
    const Texture& t = laidOut("animation.png");
    EXPECT_EQ(quadOf(t, 63), (std::vector<int32_t>{-16, -16, -9, -16, -9, 16, -16, 16}));
    EXPECT_FLOAT_EQ(t.texCoords[63 * 8 + 0], 63.0f / 64.0f);
    EXPECT_FLOAT_EQ(t.texCoords[63 * 8 + 2], 1.0f);
}

TEST(SheetLayout, SingleFrameSheetCoversTheWholeImage) {
    std::ostringstream log;
    Texture& t = createTexture();
    layoutSheet(t, 32, 32, 16, 16, 1, 1, log);
    EXPECT_EQ(t.texCoords, (std::vector<float>{0, 0, 1, 0, 1, 1, 0, 1}));
    EXPECT_EQ(log.str(), "Anim columns:1  Anim Rows:1  Frames:1\nTx:1  Ty:1  1/Tx:1\n0 /0/0\n");
}

TEST(SheetLayout, PairedByThreeEnlargesOnlyTheOddFrames) {
    Texture& t = laidOut("image9.png");
    makePaired(t, 3.0f);
    EXPECT_TRUE(t.paired);
    for (int32_t k = 0; k < 9; ++k) {
        const std::vector<int32_t> expected =
            k % 2 == 1 ? std::vector<int32_t>{-24, -24, 24, -24, 24, 24, -24, 24}
                       : std::vector<int32_t>{-8, -8, 8, -8, 8, 8, -8, 8};
        EXPECT_EQ(quadOf(t, k), expected) << k;
    }
}

TEST(SheetLayout, PairedByOnePointEightFiveTruncatesTowardZero) {
    Texture& t = laidOut("bloomtest.png");
    makePaired(t, 1.85f);
    for (int32_t k = 1; k < 8; k += 2)
        EXPECT_EQ(quadOf(t, k), (std::vector<int32_t>{-27, -31, 31, -31, 31, 27, -27, 27})) << k;
    EXPECT_EQ(quadOf(t, 6), (std::vector<int32_t>{-15, -17, 17, -17, 17, 15, -15, 15}));
}

TEST(StartupLoading, ConsoleBlockIsExactAndEndsWithTheLightmapLine) {
    const std::string out = captureStdout([] { loadAllTextures(headlessLoader); });
    EXPECT_FALSE(imageLoaderUsesGl());
    const std::vector<std::string> lines = splitLines(out);

    // 121 frames, two header lines for each of the twelve sheets, and the lightmap line.
    EXPECT_EQ(lines.size(), 121u + 24u + 1u);
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(lines.back(), "Creating Lightmap texture: 512 x 512");

    const std::string hud2Block =
        "Anim columns:4  Anim Rows:2  Frames:8\n"
        "Tx:0.25  Ty:0.5  1/Tx:4\n"
        "0 /0/0\n1 /1/0\n2 /2/0\n3 /3/0\n4 /0/1\n5 /1/1\n6 /2/1\n7 /3/1\n"
        "Anim columns:1  Anim Rows:1  Frames:1\n";  // background.png follows
    EXPECT_NE(out.find(hud2Block), std::string::npos);
    EXPECT_NE(out.find("Anim columns:5  Anim Rows:5  Frames:25\n"
                       "Tx:0.2  Ty:0.2  1/Tx:5\n0 /0/0\n1 /1/0\n2 /2/0\n3 /3/0\n4 /4/0\n5 /0/1\n"),
              std::string::npos);

    std::vector<std::string> txLines;
    for (const std::string& line : lines)
        if (line.rfind("Tx:", 0) == 0) txLines.push_back(line);
    const std::vector<std::string> expectedTx = {
        "Tx:1  Ty:1  1/Tx:1",                       // Car
        "Tx:1  Ty:1  1/Tx:1",                       // image
        "Tx:0.015625  Ty:1  1/Tx:64",               // animation
        "Tx:1  Ty:1  1/Tx:1",                       // hud0
        "Tx:1  Ty:1  1/Tx:1",                       // hud1
        "Tx:0.25  Ty:0.5  1/Tx:4",                  // hud2
        "Tx:1  Ty:1  1/Tx:1",                       // background
        "Tx:0.2  Ty:0.2  1/Tx:5",                   // explosion
        "Tx:0.333333  Ty:0.333333  1/Tx:3",         // image9
        "Tx:0.5  Ty:0.25  1/Tx:2",                  // bloomtest
        "Tx:1  Ty:1  1/Tx:1",                       // light
        "Tx:1  Ty:1  1/Tx:1",                       // light1
    };
    EXPECT_EQ(txLines, expectedTx);
    EXPECT_EQ(lines[lines.size() - 2], "0 /0/0");  // light1's only frame
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[5], "0 /0/0");  // image.png's single frame, after Car's three lines
    EXPECT_EQ(lines[6], "Anim columns:64  Anim Rows:1  Frames:64");
}

TEST(StartupLoading, RecordsFollowTheTableAndGetTheirLayerRoles) {
    requested.clear();  // the names count from 1 in this case
    captureStdout([] { loadAllTextures(headlessLoader); });
    ASSERT_EQ(allTextures().size(), 12u);
    ASSERT_EQ(requested.size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(allTextures()[i]->fileName, startupSheets[i].fileName);
        EXPECT_EQ(requested[i], startupSheets[i].fileName);
        EXPECT_EQ(allTextures()[i]->glName, i + 1);
        EXPECT_TRUE(allTextures()[i]->loaded);
        EXPECT_EQ(findTexture(startupSheets[i].fileName), allTextures()[i].get());
    }
    EXPECT_EQ(findTexture("Car.png"), carTexture());
    EXPECT_EQ(findTexture("car.png"), nullptr);  // names are case-sensitive
    EXPECT_EQ(findTexture("rocket.png"), nullptr);
    ASSERT_EQ(backLayerSheets().size(), 1u);
    EXPECT_EQ(backLayerSheets()[0]->fileName, "animation.png");
    ASSERT_EQ(frontLayerSheets().size(), 3u);
    EXPECT_EQ(frontLayerSheets()[0]->fileName, "explosion.png");
    EXPECT_EQ(frontLayerSheets()[1]->fileName, "image9.png");
    EXPECT_EQ(frontLayerSheets()[2]->fileName, "bloomtest.png");
    for (const auto& t : allTextures()) {
        EXPECT_EQ(t->glow, t->fileName == "explosion.png") << t->fileName;
        EXPECT_EQ(t->paired, t->fileName == "image9.png" || t->fileName == "bloomtest.png")
            << t->fileName;
    }
    EXPECT_EQ(quadOf(*findTexture("image9.png"), 1),
              (std::vector<int32_t>{-24, -24, 24, -24, 24, 24, -24, 24}));
    EXPECT_EQ(lightmapWidth(), 512.0f);
    EXPECT_EQ(lightmapTexture(), 0u);  // headless: no texture was made
}

TEST(TextureRegistry, ReloadingANameFindsTheLaterRecordAndKeepsBoth) {
    Texture& first = createTexture();
    Texture& second = createTexture();
    captureStdout([&] {
        loadSheet(first, "image.png", 32, 32, 16, 16, 1, 1, headlessLoader);
        loadSheet(second, "image.png", 16, 16, 8, 8, 2, 2, headlessLoader);
    });
    EXPECT_EQ(findTexture("image.png"), &second);
    EXPECT_EQ(first.fileName, "image.png");
    EXPECT_EQ(first.frameCount, 1);
    ASSERT_GE(allTextures().size(), 2u);
    EXPECT_EQ(allTextures()[allTextures().size() - 2].get(), &first);
    EXPECT_EQ(allTextures().back().get(), &second);
}

TEST(TextureLoadingGl, MissingImageGivesNameZeroAndStillPrintsItsGrid) {
    openTestWindow(64, 64);
    // The case's own working folder holds no images.
    ASSERT_TRUE(imageLoaderUsesGl());
    Texture& t = createTexture();
    testing::internal::CaptureStderr();
    const std::string out =
        captureStdout([&] { loadSheet(t, "hud2.png", 25, 45, 11, 21, 4, 2); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "hud2.png: cannot open: No such file or directory\n");
    EXPECT_EQ(t.glName, 0u);
    EXPECT_FALSE(t.loaded);
    EXPECT_EQ(t.frameCount, 8);
    EXPECT_EQ(findTexture("hud2.png"), &t);
    EXPECT_EQ(splitLines(out).size(), 10u);
    EXPECT_EQ(out.substr(0, 62),
              "Anim columns:4  Anim Rows:2  Frames:8\nTx:0.25  Ty:0.5  1/Tx:4\n");
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(TextureLoadingGl, RealSheetLoadsAndTheLightmapIsMadeOnce) {
    openTestWindow(64, 64);
    copyAssetsHere();
    Texture& t = createTexture();
    testing::internal::CaptureStderr();
    captureStdout([&] { loadSheet(t, "hud2.png", 25, 45, 11, 21, 4, 2); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(t.glName, 0u);
    EXPECT_TRUE(t.loaded);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));  // the loader's enable is undone

    EXPECT_EQ(captureStdout([] { createLightmapTexture(); }),
              "Creating Lightmap texture: 512 x 512\n");
    ASSERT_TRUE(glIsTexture(lightmapTexture()));
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, lightmapTexture());
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 512);
    EXPECT_EQ(height, 512);
    const uint32_t made = lightmapTexture();
    EXPECT_EQ(captureStdout([] { createLightmapTexture(); }), "");
    EXPECT_EQ(lightmapTexture(), made);
}
