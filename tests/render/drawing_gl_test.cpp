// drawing_gl_test.cpp: sprites, the car image, the background and the effect layers drawn into a
// real window and read back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/camera.h"
#include "render/view.h"
#include "render/background.h"
#include "render/effect_layers.h"
#include "render/effects.h"
#include "render/shape_drawing.h"
#include "render/shape_geometry.h"
#include "render/shape_queue.h"
#include "render/sprite.h"
#include "render/texture.h"
#include "support/gl_window.h"
#include "support/png_writer.h"

namespace {
constexpr int kWindow = 256;  // pixels and world units: one unit per pixel
constexpr float kTolerance = 0.03f;

struct Rgb {
    float r, g, b;
};
const Rgb kRed{1, 0, 0}, kGreen{0, 1, 0}, kBlue{0, 0, 1}, kWhite{1, 1, 1}, kBlack{0, 0, 0};
constexpr float kGrey = 64.0f / 255.0f;

// A window showing world (-128..128) on both axes, y down, in the resting drawing state.
void openWorldView(float cameraX = 0, float cameraY = 0) {
    openTestWindow(kWindow, kWindow);
    setCamera(cameraX, cameraY, kWindow, kWindow, 1.0f, 1.0f, 0.0f);
    applyWorldProjection();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    applyWorldTransform();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Mean colour of the (2r)^2 window pixels around a point given relative to the camera.
Rgba around(float x, float y, int r = 2) {
    return meanColour(kWindow / 2 + static_cast<int>(x) - r, kWindow / 2 - static_cast<int>(y) - r,
                      2 * r, 2 * r);
}

// The one window pixel covering world (x..x+1, y..y+1) relative to the camera.
Rgba pixelAt(int x, int y) { return readPixel(kWindow / 2 + x, kWindow / 2 - y - 1); }

float brightness(const Rgba& c) { return c.r + c.g + c.b; }

void expectColour(const Rgba& seen, const Rgb& expected, const char* where) {
    EXPECT_NEAR(seen.r, expected.r, kTolerance) << where;
    EXPECT_NEAR(seen.g, expected.g, kTolerance) << where;
    EXPECT_NEAR(seen.b, expected.b, kTolerance) << where;
}

// Writes an RGB image into the working folder (the case's own temporary folder).
void writeImage(const std::string& name, int width, int height,
                const std::function<Rgb(int x, int y)>& colour) {
    PngPicture picture;
    picture.width = width, picture.height = height, picture.colorType = 2;  // RGB, 8 bits
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            for (float v : {c.r, c.g, c.b}) picture.samples.push_back(static_cast<uint16_t>(std::lround(v * 255)));
        }
    const std::vector<uint8_t> bytes = encodePng(picture);
    std::FILE* file = std::fopen(name.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(std::fclose(file), 0);
}

// 16 x 16: red top-left, green top-right, blue bottom-left, white bottom-right (rows as stored).
Texture& quadrantSheet(int32_t anchor = 8) {
    writeImage("quadrants.png", 16, 16, [](int x, int y) {
        return y < 8 ? (x < 8 ? kRed : kGreen) : (x < 8 ? kBlue : kWhite);
    });
    Texture& t = createTexture();
    captureStdout([&] { loadSheet(t, "quadrants.png", 16, 16, anchor, anchor, 1, 1); });
    EXPECT_NE(t.glName, 0u);
    return t;
}

// Two 16 x 16 frames side by side, both plain grey, or red then green.
Texture& twoFrameSheet(const std::string& name, bool grey) {
    writeImage(name, 32, 16, [grey](int x, int) {
        if (grey) return Rgb{kGrey, kGrey, kGrey};
        return x < 16 ? kRed : kGreen;
    });
    Texture& t = createTexture();
    captureStdout([&] { loadSheet(t, name, 16, 16, 8, 8, 2, 1); });
    EXPECT_NE(t.glName, 0u);
    return t;
}

Texture& greySheet() {
    writeImage("grey.png", 16, 16, [](int, int) { return Rgb{kGrey, kGrey, kGrey}; });
    Texture& t = createTexture();
    captureStdout([&] { loadSheet(t, "grey.png", 16, 16, 8, 8, 1, 1); });
    EXPECT_NE(t.glName, 0u);
    return t;
}

void expectRestingState() {
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[3], 1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
}  // namespace

TEST(SpriteDrawing, FrameSitsUprightWithItsAnchorAtThePosition) {
    openWorldView();
    Texture& sheet = quadrantSheet(0);  // anchor at the first corner
    drawSpriteFrame(sheet, 0, 40, 30);
    expectColour(around(44, 34), kRed, "top-left quarter");
    expectColour(around(52, 34), kGreen, "top-right quarter");
    expectColour(around(44, 42), kBlue, "bottom-left quarter");
    expectColour(around(52, 42), kWhite, "bottom-right quarter");
    expectColour(around(36, 34), kBlack, "left of the anchor");
    expectColour(around(44, 26), kBlack, "above the anchor");
    expectRestingState();
}

TEST(SpriteDrawing, PositiveAngleTurnsPlusXTowardPlusY) {
    openWorldView();
    Texture& sheet = quadrantSheet();
    drawSprite(sheet, 0, 0, 0, 4, 4, 90);  // 64 x 64 about the centre
    expectColour(around(16, -16), kRed, "red moved to the top-right");
    expectColour(around(16, 16), kGreen, "green (the +x side) moved down");
    expectColour(around(-16, -16), kBlue, "blue moved to the top-left");
    expectColour(around(-16, 16), kWhite, "white moved to the bottom-left");
    expectColour(around(40, 0), kBlack, "beyond the scaled quad");
    expectRestingState();
}

TEST(SpriteDrawing, CarImageTurnsTheOtherWay) {
    openWorldView();
    Texture& sheet = quadrantSheet();
    setCarTexture(&sheet);
    drawCarImage(0, 0, 32, 32, 90);
    expectColour(around(-16, 16), kRed, "red moved to the bottom-left");
    expectColour(around(-16, -16), kGreen, "green (the +x side) moved up");
    expectColour(around(16, 16), kBlue, "blue moved to the bottom-right");
    expectColour(around(16, -16), kWhite, "white moved to the top-right");
    expectRestingState();
}

TEST(SpriteDrawing, CarImageCoversTwiceItsHalfSizes) {
    openWorldView();
    Texture& sheet = quadrantSheet();
    setCarTexture(&sheet);
    drawCarImage(10, 5, 39, 16, 0);
    int wide = 0, tall = 0;
    for (int x = -100; x < 100; ++x)
        if (brightness(pixelAt(x, 5)) > 0.5f) ++wide;
    for (int y = -60; y < 60; ++y)
        if (brightness(pixelAt(20, y)) > 0.5f) ++tall;
    EXPECT_NEAR(wide, 78, 1);
    EXPECT_NEAR(tall, 32, 1);
    expectColour(around(-10, -4), kRed, "unrotated top-left");
    expectColour(around(30, 14), kWhite, "unrotated bottom-right");
}

TEST(SpriteDrawing, UnitScaleAndZeroAngleMatchTheFrameDraw) {
    openWorldView();
    Texture& sheet = quadrantSheet();
    drawSprite(sheet, 0, -50, 0, 1, 1, 0);
    drawSpriteFrame(sheet, 0, 50, 0);
    for (float dx : {-4.0f, 4.0f})
        for (float dy : {-4.0f, 4.0f}) {
            const Rgba a = around(-50 + dx, dy), b = around(50 + dx, dy);
            EXPECT_NEAR(a.r, b.r, 0.01f);
            EXPECT_NEAR(a.g, b.g, 0.01f);
            EXPECT_NEAR(a.b, b.b, 0.01f);
        }
    expectColour(around(-54, -4), kRed, "drawSprite top-left");
}

TEST(SpriteDrawing, FrameNumberWrapsAroundTheSheet) {
    openWorldView();
    Texture& sheet = twoFrameSheet("frames.png", false);
    drawSprite(sheet, 3, -40, 0, 1, 1, 0);
    drawSprite(sheet, 2, 0, 0, 1, 1, 0);
    drawSpriteFrame(sheet, 5, 40, 0);
    expectColour(around(-40, 0), kGreen, "frame 3 of 2");
    expectColour(around(0, 0), kRed, "frame 2 of 2");
    expectColour(around(40, 0), kGreen, "frame 5 of 2");
}

TEST(Background, IsWorldLockedAndRepeatsEvery512Units) {
    openWorldView();  // the image library needs a context
    // Each texel records its own position: red = x / 2, green = y / 2.
    writeImage("background.png", 512, 512, [](int x, int y) {
        return Rgb{(x / 2) / 255.0f, (y / 2) / 255.0f, 0.5f};
    });
    Texture& sheet = createTexture();
    captureStdout([&] { loadSheet(sheet, "background.png", 512, 512, 0, 0, 1, 1); });
    ASSERT_NE(sheet.glName, 0u);

    const auto texelAt = [](float cameraX, float cameraY, float x, float y) {
        openWorldView(cameraX, cameraY);
        drawBackground();
        return pixelAt(static_cast<int>(x), static_cast<int>(y)).r;
    };
    // Texel 0 sits at the view's first corner when the camera is at the origin, so world
    // (x, y) shows texel (x + 128, y + 128) modulo 512 for this 256-unit view.
    openWorldView();
    drawBackground();
    EXPECT_NEAR(pixelAt(60, 40).r, 94 / 255.0f, 0.003f);
    EXPECT_NEAR(pixelAt(60, 40).g, 84 / 255.0f, 0.003f);
    EXPECT_NEAR(pixelAt(-60, 40).r, 34 / 255.0f, 0.003f);
    // Moved 100 units right, the same window pixel shows world 160; 512 further it repeats.
    EXPECT_NEAR(texelAt(100, 0, 60, 40), 144 / 255.0f, 0.003f);
    EXPECT_NEAR(texelAt(612, 0, 60, 40), 144 / 255.0f, 0.003f);
    EXPECT_NEAR(texelAt(100, 512, 60, 40), 144 / 255.0f, 0.003f);
    EXPECT_NEAR(texelAt(0, 100, 60, 40), 94 / 255.0f, 0.003f);  // x is untouched by a y move

    // The whole picture at camera x = 100 and x = 612 is the same.
    std::vector<float> first(kWindow * kWindow * 3), second(first.size());
    openWorldView(100, -30);
    drawBackground();
    glReadPixels(0, 0, kWindow, kWindow, GL_RGB, GL_FLOAT, first.data());
    openWorldView(612, -30 + 1024);
    drawBackground();
    glReadPixels(0, 0, kWindow, kWindow, GL_RGB, GL_FLOAT, second.data());
    float worst = 0;
    for (size_t i = 0; i < first.size(); ++i) worst = std::max(worst, std::fabs(first[i] - second[i]));
    EXPECT_LT(worst, 0.01f);
}

TEST(Background, IsOpaqueAndLeavesTheNormalBlendOn) {
    openWorldView();
    writeImage("background.png", 512, 512, [](int, int) { return Rgb{0.25f, 0.25f, 0.25f}; });
    Texture& sheet = createTexture();
    captureStdout([&] { loadSheet(sheet, "background.png", 512, 512, 0, 0, 1, 1); });
    openWorldView();
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBlendFunc(GL_ONE, GL_ONE);  // would brighten the picture if blending stayed on
    glColor4f(0.2f, 0.2f, 0.2f, 0.3f);
    drawBackground();
    expectColour(around(0, 0, 8), {0.25f, 0.25f, 0.25f}, "background replaces the clear colour");
    expectColour(around(-120, 120, 4), {0.25f, 0.25f, 0.25f}, "the view corner is covered too");
    GLint wrap = 0;
    glBindTexture(GL_TEXTURE_2D, sheet.glName);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP);
    expectRestingState();
}

TEST(EffectLayers, GlowSheetBurstsGetAnAdditivePassUntilFinished) {
    openWorldView();
    Texture& sheet = greySheet();
    sheet.glow = true;
    addToFrontLayer(sheet);
    spawnBurst(sheet, -40, 0, 0);
    spawnBurst(sheet, 40, 0, 0);
    sheet.queues.bursts[1].finished = true;
    drawFrontLayer();
    const float glowing = kGrey + 0.65f * kGrey;
    expectColour(around(-40, 0), {glowing, glowing, glowing}, "live burst: base plus glow");
    expectColour(around(40, 0), {kGrey, kGrey, kGrey}, "finished burst: base only");
    expectRestingState();
}

TEST(EffectLayers, PlainBackLayerBurstIsDrawnOnce) {
    openWorldView();
    Texture& sheet = greySheet();
    addToBackLayer(sheet);
    spawnBurst(sheet, 0, 0, 0);
    drawBackLayer();
    drawFrontLayer();  // not on the front list: adds nothing
    expectColour(around(0, 0), {kGrey, kGrey, kGrey}, "single pass");
    expectRestingState();
}

TEST(EffectLayers, PairedBurstAddsItsEnlargedGlowFrame) {
    openWorldView();
    Texture& sheet = twoFrameSheet("pair.png", true);
    makePaired(sheet, 2.0f);
    addToFrontLayer(sheet);
    spawnBurst(sheet, 0, 0, 0);
    drawFrontLayer();
    expectColour(around(0, 0), {2 * kGrey, 2 * kGrey, 2 * kGrey}, "base plus glow");
    expectColour(around(12, 0), {kGrey, kGrey, kGrey}, "glow frame only, outside the base");
    expectColour(around(20, 0), kBlack, "outside both");
    expectRestingState();
}

TEST(EffectLayers, BatchDrawsPairedAndGlowSpritesThenEmpties) {
    openWorldView();
    Texture& paired = twoFrameSheet("pair.png", true);
    makePaired(paired, 2.0f);
    Texture& glow = greySheet();
    glow.glow = true;
    Texture& plain = greySheet();
    pushSprite(paired, 0, -60, 0, 1, 1, 0);
    pushSprite(glow, 0, 0, 0, 1, 1, 0);
    pushSprite(plain, 0, 60, 0, 1, 1, 0);
    drawSpriteBatches();
    expectColour(around(-60, 0), {2 * kGrey, 2 * kGrey, 2 * kGrey}, "paired: base plus glow");
    expectColour(around(-48, 0), {kGrey, kGrey, kGrey}, "paired glow only");
    const float glowing = kGrey + 0.65f * kGrey;
    expectColour(around(0, 0), {glowing, glowing, glowing}, "glow sheet");
    expectColour(around(60, 0), {kGrey, kGrey, kGrey}, "plain sheet");
    EXPECT_EQ(paired.queues.batchCount, 0);
    EXPECT_EQ(glow.queues.batchCount, 0);
    EXPECT_EQ(plain.queues.batch[0].x, 0.0f);
    expectRestingState();

    glClear(GL_COLOR_BUFFER_BIT);
    drawSpriteBatches();  // emptied: nothing more is drawn
    expectColour(around(60, 0), kBlack, "second call");
}

TEST(ShapeDrawing, PolygonShowsItsFrameWhereItsCornersPutItThenEmpties) {
    openWorldView();
    Texture& sheet = quadrantSheet();
    FrameMap map;
    ASSERT_TRUE(frameMapOf(sheet, 0, map));
    // An 80-unit square, far larger than the 16-pixel frame: stretched over it.
    const Vec2f corners[4] = {{-40, -40}, {40, -40}, {40, 40}, {-40, 40}};
    const Vec2f st[4] = {texCoordAt(map, 0, 0), texCoordAt(map, 1, 0), texCoordAt(map, 1, 1),
                         texCoordAt(map, 0, 1)};
    pushPolygon(sheet, corners, st, 4);
    drawQueuedPolygons();
    expectColour(around(-20, -20), kRed, "top-left quarter");
    expectColour(around(20, -20), kGreen, "top-right quarter");
    expectColour(around(-20, 20), kBlue, "bottom-left quarter");
    expectColour(around(20, 20), kWhite, "bottom-right quarter");
    expectColour(around(0, 50), kBlack, "below the polygon");
    EXPECT_TRUE(queuedPolygons().empty());
    expectRestingState();

    glClear(GL_COLOR_BUFFER_BIT);
    drawQueuedPolygons();
    expectColour(around(-20, -20), kBlack, "drawn once only");
}

TEST(ShapeDrawing, LineDrawsInItsColourAndWidthThenEmpties) {
    openWorldView();
    pushLine({-60, 0}, {60, 0}, 4.0f, 0x00ff00ffu);
    drawQueuedLines();
    expectColour(around(0, 0, 1), kGreen, "on the line");
    expectColour(around(-40, 0, 1), kGreen, "along the line");
    expectColour(around(0, 8, 1), kBlack, "beside the line");
    expectColour(around(80, 0, 1), kBlack, "past its end");
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f) << "the width goes back";
    EXPECT_TRUE(queuedLines().empty());
    expectRestingState();

    glClear(GL_COLOR_BUFFER_BIT);
    drawQueuedLines();
    expectColour(around(0, 0, 1), kBlack, "drawn once only");
}
