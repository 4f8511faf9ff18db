// map_draw_test.cpp: quads and their selection outlines on a real framebuffer.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "map/map_draw.h"
#include "map/map_editor.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 600;


// The frame's world view at camera (0, 0): world (0, 0) is the window centre, y down.
void setUpFrame() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(-kWidth / 2, kWidth / 2, kHeight / 2, -kHeight / 2);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Mean colour of a world-space rectangle (x, y is its top-left corner).
Rgba worldRegion(int x, int y, int width, int height) {
    const int px = kWidth / 2 + x;
    const int py = kHeight - (kHeight / 2 + y) - height;
    return meanColour(px, py, width, height);
}

// Of the rows straddling the square's top edge, the one that looks most like an outline: red
// without the green of the white fill (the background has neither).
Rgba outlineRow() {
    Rgba best;
    float bestScore = -1.0f;
    for (int y = 27; y <= 33; ++y) {
        const Rgba row = worldRegion(36, y, 28, 1);
        const float score = row.r * (1.0f - row.g);
        if (score > bestScore) {
            best = row;
            bestScore = score;
        }
    }
    return best;
}

// Whether some column between x0 and x1 is red over the rows y .. y + height.
bool redColumnBetween(int x0, int x1, int y, int height) {
    for (int x = x0; x <= x1; ++x) {
        const Rgba column = worldRegion(x, y, 1, height);
        if (column.r > 0.9f && column.g < 0.1f) return true;
    }
    return false;
}

class MapDrawTest : public testing::Test {
protected:
    void SetUp() override {
        openTestWindow(kWidth, kHeight);
        captureStdout([] { loadAllTextures(loadNoImage); });
        createWorld();
        setUpFrame();
    }
};

void expectRestingState() {
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[1], 1.0f);
    EXPECT_FLOAT_EQ(colour[2], 1.0f);
    float width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_FLOAT_EQ(width, 1.0f);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

}  // namespace

TEST_F(MapDrawTest, EmptyMapDrawsNothing) {
    drawMap();
    const Rgba centre = worldRegion(-100, -100, 200, 200);
    EXPECT_NEAR(centre.r, 0.0f, 0.01f);
    EXPECT_NEAR(centre.b, 0.5f, 0.01f);
    expectRestingState();
}

TEST_F(MapDrawTest, UnselectedQuadIsFilledWithoutOutline) {
    addDefaultQuad();
    drawMap();
    const Rgba inside = worldRegion(35, 35, 30, 30);
    EXPECT_NEAR(inside.r, 1.0f, 0.02f);
    EXPECT_NEAR(inside.g, 1.0f, 0.02f);
    const Rgba outside = worldRegion(80, 35, 20, 30);
    EXPECT_NEAR(outside.r, 0.0f, 0.02f);
    const Rgba row = outlineRow();
    EXPECT_TRUE(row.g > 0.9f || row.r < 0.1f);  // every row is fill or background
    expectRestingState();
}

TEST_F(MapDrawTest, SelectedQuadIsOutlinedRedThenAmberWhileDraggingThenRedAgain) {
    addDefaultQuad();
    editorMouseDown({50, 50});
    drawMap();
    Rgba row = outlineRow();
    EXPECT_GT(row.r, 0.9f);
    EXPECT_LT(row.g, 0.1f);
    EXPECT_LT(row.b, 0.1f);
    const Rgba inside = worldRegion(40, 40, 20, 20);
    EXPECT_NEAR(inside.g, 1.0f, 0.02f);  // only the outline is red
    expectRestingState();

    editorMouseDown({50, 50});  // grab the whole quad
    setUpFrame();
    drawMap();
    row = outlineRow();
    EXPECT_NEAR(row.r, 0.8f, 0.05f);
    EXPECT_NEAR(row.g, 0.6f, 0.05f);
    EXPECT_LT(row.b, 0.1f);
    expectRestingState();

    editorMouseUp();
    setUpFrame();
    drawMap();
    row = outlineRow();
    EXPECT_GT(row.r, 0.9f);
    EXPECT_LT(row.g, 0.1f);
}

TEST_F(MapDrawTest, LaterQuadsCoverEarlierOnes) {
    addDefaultQuad();
    auto* top = &registerQuad();
    setGeometry(*top, 50, 50, 90, 50, 90, 90, 50, 90);
    top->textured = false;  // still drawn, with no texture bound
    mapQuads()[0].selected = true;
    drawMap();
    // The red outline of the first quad's right edge is hidden where the second quad covers it.
    EXPECT_TRUE(redColumnBetween(66, 74, 35, 10));
    EXPECT_FALSE(redColumnBetween(66, 74, 55, 10));
}

TEST_F(MapDrawTest, SelectedQuadsShowCornerHandlesOnlyWhileTheEditorIsOn) {
    addDefaultQuad();
    editorMouseDown({50, 50});
    drawMap();
    drawCornerHandles();
    // Just outside corner 0 at (30, 30): the handle's white rim over the background.
    const Rgba rim = worldRegion(27, 27, 2, 2);
    EXPECT_GT(rim.r, 0.9f);
    EXPECT_GT(rim.g, 0.9f);
    const Rgba core = worldRegion(30, 30, 1, 1);
    EXPECT_GT(core.r, 0.9f);
    EXPECT_LT(core.g, 0.1f);  // the outline's red
    const Rgba farCorner = worldRegion(71, 71, 2, 2);  // corner 2 at (70, 70)
    EXPECT_GT(farCorner.g, 0.9f);
    expectRestingState();
    float pointSize = 0;
    glGetFloatv(GL_POINT_SIZE, &pointSize);
    EXPECT_FLOAT_EQ(pointSize, 1.0f);

    setEditorEnabled(false);
    setUpFrame();
    drawMap();
    drawCornerHandles();
    EXPECT_LT(worldRegion(27, 27, 2, 2).g, 0.1f);  // background: no handle
    EXPECT_GT(outlineRow().r, 0.9f);               // the outline stays
}

namespace {

// The hover's pale yellow: red and green high like the white fill, but with under half its blue.
bool isHover(const Rgba& c) { return c.r > 0.9f && c.g > 0.8f && c.b > 0.3f && c.b < 0.6f; }
bool isRed(const Rgba& c) { return c.r > 0.9f && c.g < 0.1f && c.b < 0.1f; }
bool isAmber(const Rgba& c) {
    return std::fabs(c.r - 0.8f) < 0.05f && std::fabs(c.g - 0.6f) < 0.05f && c.b < 0.1f;
}

// A square on the 8-unit grid, so that a release leaves it where it is.
constexpr int kEdge = 32;
constexpr int kFarEdge = 72;

// Of the rows across the square's top edge and the columns across its left edge, from
// kEdge + from to kEdge + to and clear of the corner handles: how many pass test.
int edgeLinesWhere(bool (*test)(const Rgba&), int from, int to) {
    int count = 0;
    for (int i = kEdge + from; i <= kEdge + to; ++i) {
        if (test(worldRegion(kEdge + 8, i, 24, 1))) ++count;  // a row
        if (test(worldRegion(i, kEdge + 8, 1, 24))) ++count;  // a column
    }
    return count;
}

}  // namespace

TEST_F(MapDrawTest, HoverOverASelectedQuadLeavesItsOutlineShowing) {
    createQuad(kEdge, kEdge, kFarEdge, kEdge, kFarEdge, kFarEdge, kEdge, kFarEdge);
    const Vec2f middle{52, 52};
    editorMouseDown(middle);
    editorPointer(middle);  // the cursor stays where it pressed
    ASSERT_EQ(hoverGrab(getQuad(0)), 4);
    drawMap();
    drawCornerHandles();
    // The red line on the edges, and the hover beside it, outside the quad and inside.
    EXPECT_GE(edgeLinesWhere(isRed, -2, 1), 2);
    EXPECT_GE(edgeLinesWhere(isHover, -5, -2), 2);
    EXPECT_GE(edgeLinesWhere(isHover, 1, 4), 2);
    expectRestingState();

    editorMouseDown(middle);  // the whole quad grabbed: amber, and no hover while it is held
    setUpFrame();
    drawMap();
    drawCornerHandles();
    EXPECT_GE(edgeLinesWhere(isAmber, -2, 1), 2);
    EXPECT_EQ(edgeLinesWhere(isRed, -5, 4), 0);
    EXPECT_EQ(edgeLinesWhere(isHover, -5, 4), 0);
    expectRestingState();

    editorMouseUp();  // selected again with the cursor still over it
    ASSERT_FLOAT_EQ(getQuad(0).vertices[0].x, kEdge);
    setUpFrame();
    drawMap();
    drawCornerHandles();
    EXPECT_GE(edgeLinesWhere(isRed, -2, 1), 2);
    EXPECT_GE(edgeLinesWhere(isHover, -5, -2), 2);
    EXPECT_GE(edgeLinesWhere(isHover, 1, 4), 2);
}

namespace {

// A sheet with stripes of varied colour and alpha, so order and blending show in every pixel.
uint32_t stripedImage(const std::string&) {
    uint8_t texels[16 * 16 * 4];
    for (int i = 0; i < 16 * 16; ++i) {
        texels[4 * i] = static_cast<uint8_t>(37 * i);
        texels[4 * i + 1] = static_cast<uint8_t>(91 * (i / 16));
        texels[4 * i + 2] = static_cast<uint8_t>(200 - 13 * (i % 16));
        texels[4 * i + 3] = static_cast<uint8_t>(90 + 11 * (i % 7));
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    return name;
}

// How the map was drawn before culling and batching: every quad, one draw each.
void drawMapQuadByQuad() {
    for (const auto& quad : mapQuads()) {
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        drawQuad(quad);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisable(GL_TEXTURE_2D);
    }
}

std::vector<uint8_t> framePixels() {
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

}  // namespace

TEST_F(MapDrawTest, CulledBatchesDrawTheSamePixelsAsQuadByQuad) {
    captureStdout([] { unloadAllTextures(true); loadAllTextures(stripedImage); });
    std::mt19937 gen(11);
    auto uniform = [&gen](float low, float high) {
        return std::uniform_real_distribution<float>(low, high)(gen);
    };
    for (int map = 0; map < 12; ++map) {
        clearMapQuads(true);
        const int quads = static_cast<int>(gen() % 400);
        for (int i = 0; i < quads; ++i) {
            const float x = uniform(-1500, 1500), y = uniform(-1000, 1000), s = uniform(2, 200);
            MapQuad& quad = createQuad(x, y, x + s, y + uniform(-s, s) * 0.3f, x + s, y + s, x, y + s);
            if (gen() % 7 == 0) quad.textured = false;
            quad.selected = gen() % 9 == 0;
            quad.editMode = static_cast<int32_t>(gen() % 6) - 1;
        }
        // Views turned, zoomed and moved, as the world transform makes them.
        for (int view = 0; view < 3; ++view) {
            setUpFrame();
            glRotatef(uniform(-180, 180), 0, 0, 1);
            const float zoom = uniform(0.3f, 3.0f);
            glScalef(zoom, zoom, 1);
            glTranslatef(uniform(-800, 800), uniform(-500, 500), 0);
            drawMapQuadByQuad();
            const std::vector<uint8_t> expected = framePixels();
            glClear(GL_COLOR_BUFFER_BIT);
            glColor4f(1, 1, 1, 1);
            drawMap();
            ASSERT_TRUE(framePixels() == expected) << "map " << map << " view " << view;
            expectRestingState();
        }
    }
}
