// Scripted bodies and chains drawn into a real window and read back: each shape covers what it
// is and no more, its frame turns with it, and shadow = true queues the outline it casts with.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "actors/actor.h"
#include "core/camera.h"
#include "game/invariants.h"
#include "physics/physics_world.h"
#include "render/shape_drawing.h"
#include "render/shape_queue.h"
#include "render/texture.h"
#include "render/view.h"
#include "script/script_actors.h"
#include "support/gl_window.h"

namespace {
constexpr int kWindow = 256;  // pixels and world units: one unit per pixel
constexpr float kTolerance = 0.03f;

struct Rgb {
    float r, g, b;
};
const Rgb kRed{1, 0, 0}, kGreen{0, 1, 0}, kBlue{0, 0, 1}, kWhite{1, 1, 1}, kBlack{0, 0, 0};

// A window showing world (-128..128) on both axes, y down, and a world for bodies.
void openWorldView() {
    openTestWindow(kWindow, kWindow);
    setCamera(0, 0, kWindow, kWindow, 1.0f, 1.0f, 0.0f);
    applyWorldProjection();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    applyWorldTransform();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    createWorld();
}

GLuint quadrantImage = 0;
uint32_t loadQuadrants(const std::string&) { return quadrantImage; }

// One 32 x 32 frame: red top-left, green top-right, blue bottom-left, white bottom-right, under
// the name the map's image has, so a chain's band shows it too.
Texture& quadrantSheet() {
    const unsigned char pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    glGenTextures(1, &quadrantImage);
    glBindTexture(GL_TEXTURE_2D, quadrantImage);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    Texture& t = createTexture();
    captureStdout([&] { loadSheet(t, "image.png", 32, 32, 16, 16, 1, 1, loadQuadrants); });
    return t;
}

// A static body of the shape, turned by angle degrees, drawn with the sheet's frame 0.
ScriptBodyShape shaped(BodyShape shape, Texture& sheet, float angle = 0) {
    ScriptBodyShape made;
    made.shape = shape;
    made.motion = BodyMotion::Static;
    made.sheet = &sheet;
    made.angle = angle;
    return made;
}

// Mean colour of the (2r)^2 window pixels around a world point.
Rgba around(float x, float y, int r = 2) {
    return meanColour(kWindow / 2 + static_cast<int>(x) - r, kWindow / 2 - static_cast<int>(y) - r,
                      2 * r, 2 * r);
}

void expectColour(const Rgba& seen, const Rgb& expected, const char* where) {
    EXPECT_NEAR(seen.r, expected.r, kTolerance) << where;
    EXPECT_NEAR(seen.g, expected.g, kTolerance) << where;
    EXPECT_NEAR(seen.b, expected.b, kTolerance) << where;
}

void drawQueued() {
    drawActors();
    drawQueuedPolygons();
}
}  // namespace

TEST(ScriptShapes, CircleIsADiscOfItsFrameTurnedWithTheBody) {
    openWorldView();
    ScriptBodyShape disc = shaped(BodyShape::Circle, quadrantSheet(), 90);
    disc.radius = 40;
    spawnActor<ScriptBody>(disc);
    drawQueued();
    // A quarter turn toward +y: the frame's top-left (red) now shows top-right, and so on.
    expectColour(around(20, -20), kRed, "red quarter, turned");
    expectColour(around(-20, -20), kBlue, "blue quarter, turned");
    expectColour(around(20, 20), kGreen, "green quarter, turned");
    expectColour(around(-20, 20), kWhite, "white quarter, turned");
    expectColour(around(8, 36, 1), kGreen, "inside the rim");
    for (float x : {-36.0f, 36.0f})
        for (float y : {-36.0f, 36.0f}) expectColour(around(x, y), kBlack, "a corner of the disc's box");
    expectColour(around(0, 44, 1), kBlack, "outside the rim");
}

TEST(ScriptShapes, BoxesShowTheirFrameNoWiderThanThemselvesTiledWhenLong) {
    openWorldView();
    Texture& sheet = quadrantSheet();
    ScriptBodyShape narrow = shaped(BodyShape::Box, sheet);
    narrow.w = 12, narrow.h = 32, narrow.x = -80;
    spawnActor<ScriptBody>(narrow);
    ScriptBodyShape wide = shaped(BodyShape::Box, sheet);
    wide.w = 128, wide.h = 32, wide.x = 40, wide.y = 60;
    spawnActor<ScriptBody>(wide);
    drawQueued();
    expectColour(around(-83, -8, 1), kRed, "narrow box, its frame squeezed");
    expectColour(around(-77, 8, 1), kWhite, "narrow box, bottom right");
    expectColour(around(-89, 0), kBlack, "left of the narrow box");
    expectColour(around(-71, 0), kBlack, "right of the narrow box");
    // Four 32-unit tiles from x = -24 to 104, each the whole frame.
    for (float left : {-24.0f, 8.0f, 40.0f, 72.0f}) {
        expectColour(around(left + 8, 52), kRed, "a tile's top-left");
        expectColour(around(left + 24, 68), kWhite, "a tile's bottom-right");
    }
    expectColour(around(-30, 60), kBlack, "left of the long box");
}

TEST(ScriptShapes, PolygonFillsItsOutlineAndChainHangsABandBelowItsLine) {
    openWorldView();
    Texture& sheet = quadrantSheet();
    ScriptBodyShape triangle = shaped(BodyShape::Polygon, sheet);
    triangle.points = {{-40, -40}, {40, -40}, {0, 40}};
    triangle.y = -50;
    spawnActor<ScriptBody>(triangle);
    spawnActor<ScriptChain>(std::vector<Vec2f>{{-100, 60}, {100, 60}}, false, 0.9f, 0.0f);
    drawQueued();
    expectColour(around(-20, -80), kRed, "triangle, top-left of its box");
    expectColour(around(-2, -20, 1), kBlue, "triangle, near its tip");
    expectColour(around(-34, -20), kBlack, "inside the box, outside the triangle");
    // The band shows the map's image in 32-unit pieces, 16 units deep under the line.
    expectColour(around(-90, 62, 1), kRed, "band, a piece's top-left");
    expectColour(around(-90, 70, 1), kBlue, "band, a piece's bottom-left");
    expectColour(around(0, 56), kBlack, "above the line");
    expectColour(around(0, 80), kBlack, "below the band");
}

TEST(ScriptShapes, OnlyShadowedShapesQueueTheirOutlineInTheWorld) {
    openWorldView();
    Texture& sheet = quadrantSheet();
    spawnActor<ScriptBody>(shaped(BodyShape::Box, sheet));  // casts nothing
    ScriptBodyShape turned = shaped(BodyShape::Box, sheet, 90);
    turned.shadow = true;
    turned.w = 40, turned.h = 10, turned.x = 100;
    spawnActor<ScriptBody>(turned);
    ScriptBodyShape disc = shaped(BodyShape::Circle, sheet);
    disc.shadow = true;
    disc.radius = 30;
    spawnActor<ScriptBody>(disc);
    spawnActor<ScriptChain>(std::vector<Vec2f>{{0, 0}, {64, 0}}, false, 0.9f, 0.0f)->shadow = true;
    drawActors();
    const std::vector<ShadowCaster>& casters = queuedCasters();
    ASSERT_EQ(casters.size(), 4u) << "the turned box, the disc and the chain's two pieces";
    // Turned a quarter: 10 wide and 40 tall around (100, 0).
    const Vec2f* box = queuedCasterCorners().data() + casters[0].first;
    ASSERT_EQ(casters[0].count, 4u);
    EXPECT_NEAR(box[0].x, 105, 1e-3);
    EXPECT_NEAR(box[0].y, -20, 1e-3);
    EXPECT_NEAR(box[2].x, 95, 1e-3);
    EXPECT_NEAR(box[2].y, 20, 1e-3);
    EXPECT_GE(casters[1].count, 16u) << "the disc's rim";
    const Vec2f* rim = queuedCasterCorners().data() + casters[1].first;
    for (uint32_t i = 0; i < casters[1].count; ++i) EXPECT_NEAR(std::hypot(rim[i].x, rim[i].y), 30, 1e-3);
    EXPECT_EQ(queuedCasterCorners()[casters[3].first + 2].y, 16.0f) << "a band piece's lower edge";
    // A step's checks build a light's buffer while these wait for the next lightmap pass.
    std::string why;
    EXPECT_TRUE(gameInvariantsHold(InvariantScope::Whole, why)) << why;
}
