// The geometry behind drawing shapes: circles as polygons, turning into the world, where a body's
// points fall on its frame, box tiles and terrain bands. No window.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "render/shape_geometry.h"
#include "render/texture.h"

namespace {
constexpr float kClose = 1e-4f;

// A 2 x 2 grid of 16-pixel frames: frame 3 is the bottom-right quarter of the image.
Texture& gridSheet() {
    Texture& t = createTexture();
    std::ostringstream log;
    layoutSheet(t, 16, 16, 8, 8, 2, 2, log);
    return t;
}

void expectPoint(Vec2f seen, float x, float y, const char* what) {
    EXPECT_NEAR(seen.x, x, kClose) << what;
    EXPECT_NEAR(seen.y, y, kClose) << what;
}
}  // namespace

TEST(ShapeGeometry, CircleCornersLieOnTheRimInOrderTowardPlusY) {
    std::vector<Vec2f> corners = {{9, 9}};
    circleCorners(10.0f, 24, corners);
    ASSERT_EQ(corners.size(), 24u);
    for (const Vec2f& p : corners) EXPECT_NEAR(std::hypot(p.x, p.y), 10.0f, kClose);
    expectPoint(corners[0], 10, 0, "first corner on +x");
    expectPoint(corners[6], 0, 10, "a quarter turn on is on +y");
    circleCorners(5.0f, 1, corners);
    EXPECT_EQ(corners.size(), 3u) << "a polygon needs three corners";

    EXPECT_EQ(circleSegments(2.0f), 16);
    EXPECT_EQ(circleSegments(40.0f), 63);  // 251.3 units of rim, a corner every 4
    EXPECT_EQ(circleSegments(1e30f), 96);
    EXPECT_EQ(circleSegments(std::numeric_limits<float>::quiet_NaN()), 16);
}

TEST(ShapeGeometry, BodyPointsTurnTowardPlusYThenMove) {
    expectPoint(placeInWorld({10, 0}, {100, 50}, 0), 110, 50, "unturned");
    expectPoint(placeInWorld({10, 0}, {100, 50}, 90), 100, 60, "+x turns onto +y");
    expectPoint(placeInWorld({0, 10}, {100, 50}, 90), 90, 50, "+y turns onto -x");
}

TEST(ShapeGeometry, FramesMapTheirCornersAndBoxesOntoTheSheet) {
    Texture& sheet = gridSheet();
    FrameMap map;
    ASSERT_TRUE(frameMapOf(sheet, 3, map));
    expectPoint(texCoordAt(map, 0, 0), 0.5f, 0.5f, "frame 3 top-left");
    expectPoint(texCoordAt(map, 1, 0), 1.0f, 0.5f, "frame 3 top-right");
    expectPoint(texCoordAt(map, 0, 1), 0.5f, 1.0f, "frame 3 bottom-left");
    FrameMap untouched;
    untouched.origin = {7, 7};
    EXPECT_FALSE(frameMapOf(sheet, 4, untouched));
    EXPECT_FALSE(frameMapOf(sheet, -1, untouched));
    expectPoint(untouched.origin, 7, 7, "a missing frame leaves the map");

    // A box from (-20, -10) to (20, 10) in the body's frame.
    expectPoint(texCoordInBox(map, {-20, -10}, {-20, -10}, {20, 10}), 0.5f, 0.5f, "box top-left");
    expectPoint(texCoordInBox(map, {20, 10}, {-20, -10}, {20, 10}), 1.0f, 1.0f, "box bottom-right");
    expectPoint(texCoordInBox(map, {0, 0}, {-20, -10}, {20, 10}), 0.75f, 0.75f, "box centre");
    expectPoint(texCoordInBox(map, {3, 0}, {3, -10}, {3, 10}), 0.75f, 0.75f, "flat box: the middle");

    int32_t w = -1, h = -1;
    framePixels(sheet, 2, w, h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
    framePixels(sheet, 9, w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

TEST(ShapeGeometry, ABoxGetsWholeTilesNeverMoreThanItHolds) {
    EXPECT_EQ(tilesAlong(12.0f, 32), 1);   // one frame squeezed to 12 units, not 32 wide
    EXPECT_EQ(tilesAlong(32.0f, 32), 1);
    EXPECT_EQ(tilesAlong(40.0f, 32), 1);   // stretched a little
    EXPECT_EQ(tilesAlong(48.0f, 32), 2);
    EXPECT_EQ(tilesAlong(320.0f, 32), 10);
    EXPECT_EQ(tilesAlong(1e30f, 32), 32);
    EXPECT_EQ(tilesAlong(100.0f, 0), 1);
    EXPECT_EQ(tilesAlong(std::numeric_limits<float>::quiet_NaN(), 32), 1);
}

TEST(ShapeGeometry, ChainBandHangsBelowEverySegmentInPieces) {
    std::vector<Vec2f> band = {{1, 1}};
    chainBand({{0, 0}, {64, 32}}, false, 16, 32, band);
    ASSERT_EQ(band.size(), 8u) << "two pieces of 32 along x";
    expectPoint(band[0], 0, 0, "first piece, upper left");
    expectPoint(band[1], 32, 16, "first piece, upper right on the line");
    expectPoint(band[2], 32, 32, "first piece, lower right 16 below");
    expectPoint(band[3], 0, 16, "first piece, lower left");
    expectPoint(band[4], 32, 16, "second piece starts where the first ends");

    chainBand({{0, 0}, {10, 0}, {0, 10}}, true, 16, 32, band);
    EXPECT_EQ(band.size(), 12u) << "a loop adds the closing segment";
    chainBand({{0, 0}, {10, 0}, {0, 10}}, false, 16, 32, band);
    EXPECT_EQ(band.size(), 8u);
    chainBand({{5, 5}}, true, 16, 32, band);
    EXPECT_TRUE(band.empty());
}

TEST(ShapeGeometry, ConvexOutlineHoldsOnlyWhatIsStrictlyInside) {
    const Vec2f square[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    const Vec2f backwards[4] = {{0, 0}, {0, 10}, {10, 10}, {10, 0}};
    EXPECT_TRUE(convexHolds(square, 4, {5, 5}));
    EXPECT_TRUE(convexHolds(backwards, 4, {5, 5}));
    EXPECT_FALSE(convexHolds(square, 4, {15, 5}));
    EXPECT_FALSE(convexHolds(square, 4, {10, 5})) << "on an edge";
    EXPECT_FALSE(convexHolds(square, 2, {5, 5}));
}
