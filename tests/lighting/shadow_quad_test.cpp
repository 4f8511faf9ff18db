// Shadow quads, the caster cull and the per-light vertex buffer, without a window.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lighting/shadow_quad.h"
#include "map/map_quad.h"

namespace {

MapQuad& addQuad(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3) {
    auto* quad = &registerQuad();
    quad->vertices[0] = {x0, y0};
    quad->vertices[1] = {x1, y1};
    quad->vertices[2] = {x2, y2};
    quad->vertices[3] = {x3, y3};
    quadCornersChanged(*quad);  // written by hand: the index must hear of it
    return *quad;
}

MapQuad& addSquare(float left, float top, float size) {
    return addQuad(left, top, left + size, top, left + size, top + size, left, top + size);
}

MapQuad testSquare() {
    MapQuad quad;
    quad.vertices[0] = {30, 30};
    quad.vertices[1] = {70, 30};
    quad.vertices[2] = {70, 70};
    quad.vertices[3] = {30, 70};
    return quad;
}

// Where a corner's shadow edge ends: 2500 units further along the ray from the light.
void expectExtrusion(const int32_t* point, Vec2f corner, Vec2f light) {
    const double dx = corner.x - light.x;
    const double dy = corner.y - light.y;
    const double length = std::sqrt(dx * dx + dy * dy);
    EXPECT_NEAR(point[0], corner.x + 2500.0 * dx / length, 1.0);
    EXPECT_NEAR(point[1], corner.y + 2500.0 * dy / length, 1.0);
}

void expectShadow(const ShadowQuad& shadow, Vec2f light, Vec2f low, Vec2f high) {
    EXPECT_EQ(shadow.points[0], low.x);
    EXPECT_EQ(shadow.points[1], low.y);
    expectExtrusion(&shadow.points[2], low, light);
    expectExtrusion(&shadow.points[4], high, light);
    EXPECT_EQ(shadow.points[6], high.x);
    EXPECT_EQ(shadow.points[7], high.y);
}

}  // namespace

TEST(ShadowQuad, SilhouetteOfASquareFromEachSide) {
    const MapQuad square = testSquare();
    // From the left the near edge (30,70)-(30,30) is the silhouette, and so on round the square.
    expectShadow(buildShadowQuad(square, {-100, 50}), {-100, 50}, {30, 70}, {30, 30});
    expectShadow(buildShadowQuad(square, {200, 50}), {200, 50}, {70, 30}, {70, 70});
    expectShadow(buildShadowQuad(square, {50, -100}), {50, -100}, {30, 30}, {70, 30});
    expectShadow(buildShadowQuad(square, {50, 200}), {50, 200}, {70, 70}, {30, 70});
}

TEST(ShadowQuad, DiagonalLightUsesTheFarCornersOfTheSilhouette) {
    // Up and left of the square: corners 1 and 3 bound what the light sees.
    expectShadow(buildShadowQuad(testSquare(), {-100, -100}), {-100, -100}, {30, 70}, {70, 30});
}

TEST(ShadowQuad, TiesKeepTheEarlierCorner) {
    const MapQuad square = testSquare();
    // On the line of the top edge corners 0 and 1 share the largest difference: 0 stays high.
    expectShadow(buildShadowQuad(square, {-100, 30}), {-100, 30}, {30, 70}, {30, 30});
    // On the line of the bottom edge corners 2 and 3 share the smallest: 2 stays low.
    expectShadow(buildShadowQuad(square, {-100, 70}), {-100, 70}, {70, 70}, {30, 30});
}

TEST(ShadowQuad, CollapsedQuadKeepsTheStartingCorners) {
    // A quad never shaped has all corners at the origin: no difference is below or above 0,
    // so the low corner stays 0 and the high corner 2, both extruded away from the light.
    const MapQuad collapsed;
    const ShadowQuad shadow = buildShadowQuad(collapsed, {10, 0});
    const int32_t expected[8] = {0, 0, -2500, 0, -2500, 0, 0, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(shadow.points[i], expected[i]) << "coordinate " << i;
}

TEST(ShadowQuad, CoordinatesAreCutTowardZero) {
    MapQuad quad;
    quad.vertices[0] = {-30.7f, -30.7f};
    quad.vertices[1] = {10.9f, -30.7f};
    quad.vertices[2] = {10.9f, 10.9f};
    quad.vertices[3] = {-30.7f, 10.9f};
    // Light to the right: silhouette corners 1 and 2, both with a fractional part.
    const ShadowQuad shadow = buildShadowQuad(quad, {200, -9.9f});
    EXPECT_EQ(shadow.points[0], 10);
    EXPECT_EQ(shadow.points[1], -30);
    EXPECT_EQ(shadow.points[6], 10);
    EXPECT_EQ(shadow.points[7], 10);
}

TEST(ShadowQuad, CornersBeyondTheIntegerRangePinToItsEnds) {
    // A hostile map's corners pass validation yet lie far outside int32.
    MapQuad quad;
    quad.vertices[0] = {-1e30f, -1e30f};
    quad.vertices[1] = {1e30f, -1e30f};
    quad.vertices[2] = {1e30f, 1e30f};
    quad.vertices[3] = {-1e30f, 1e30f};
    const ShadowQuad shadow = buildShadowQuad(quad, {0, 0});
    int pinnedHigh = 0;
    for (int32_t value : shadow.points) {
        EXPECT_TRUE(value == INT32_MAX || value == INT32_MIN) << value;
        pinnedHigh += value == INT32_MAX;
    }
    EXPECT_GT(pinnedHigh, 0);  // positive corners keep their sign
}

TEST(CastingQuads, CentreExactlyAt700DoesNotCast) {
    addQuad(680, -20, 720, -20, 720, 20, 680, 20);  // centre (700, 0)
    addQuad(679, -20, 719, -20, 719, 20, 679, 20);  // centre (699, 0)
    addQuad(-20, 680, 20, 680, 20, 720, -20, 720);  // centre (0, 700)
    addSquare(-500, -500, 40);                      // centre (-480, -480): 678.8 away
    std::vector<int32_t> casting;
    collectCastingQuads({0, 0}, casting);
    EXPECT_EQ(casting, (std::vector<int32_t>{1, 3}));
    EXPECT_FALSE(castsShadow(getQuad(0), {0, 0}));
    EXPECT_TRUE(castsShadow(getQuad(0), {0.5f, 0}));
}

TEST(CastingQuads, ReusedListIsClearedFirst) {
    addSquare(0, 0, 10);
    addSquare(2000, 0, 10);
    std::vector<int32_t> casting;
    collectCastingQuads({0, 0}, casting);
    collectCastingQuads({2000, 0}, casting);
    EXPECT_EQ(casting, (std::vector<int32_t>{1}));
}

TEST(LightVertices, LightQuadShadowsAndCornersInTheirSlots) {
    const int32_t lightQuad[8] = {-300, -300, 300, -300, 300, 300, -300, 300};
    addSquare(2000, 2000, 40);               // too far: skipped, not counted
    const MapQuad& near = addSquare(100, -20, 40);
    addQuad(-60.6f, 10, -20, 10, -20, 50, -60.6f, 50);
    LightVertices buffer;
    const Vec2f light{0, 0};
    buildLightVertices(buffer, lightQuad, light);

    ASSERT_EQ(buffer.casterCount, 2);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(buffer.coords[i], lightQuad[i]);
    const int32_t* shadows = buffer.coords.data() + 8;
    const int32_t* corners = buffer.coords.data() + 2 * buffer.half + 8;
    const ShadowQuad first = buildShadowQuad(near, light);
    const ShadowQuad second = buildShadowQuad(getQuad(2), light);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(shadows[i], first.points[i]);
        EXPECT_EQ(shadows[8 + i], second.points[i]);
    }
    const int32_t firstCorners[8] = {100, -20, 140, -20, 140, 20, 100, 20};
    const int32_t secondCorners[8] = {-60, 10, -20, 10, -20, 50, -60, 50};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(corners[i], firstCorners[i]);
        EXPECT_EQ(corners[8 + i], secondCorners[i]);
    }
}

TEST(LightVertices, MoreThan186CastersAllKeepTheirShadows) {
    const int32_t lightQuad[8] = {-300, -300, 300, -300, 300, 300, -300, 300};
    // 200 small squares in a row 200 units below the light, all well inside the cast radius.
    for (int i = 0; i < 200; ++i) addSquare(-400.0f + 4.0f * i, 200.0f, 3.0f);
    LightVertices buffer;
    const Vec2f light{0, 0};
    buildLightVertices(buffer, lightQuad, light);

    ASSERT_EQ(buffer.casterCount, 200);
    ASSERT_GE(buffer.half, 4 * 201);
    ASSERT_GE(buffer.coords.size(), static_cast<size_t>(4 * buffer.half));
    for (int k = 1; k <= 200; ++k) {
        const MapQuad& quad = getQuad(k - 1);
        const ShadowQuad shadow = buildShadowQuad(quad, light);
        const int32_t* stored = buffer.coords.data() + 8 * k;
        const int32_t* corners = buffer.coords.data() + 2 * buffer.half + 8 * k;
        for (int i = 0; i < 8; ++i) ASSERT_EQ(stored[i], shadow.points[i]) << "caster " << k;
        for (int j = 0; j < 4; ++j) {
            ASSERT_EQ(corners[2 * j], static_cast<int32_t>(quad.vertices[j].x)) << "caster " << k;
            ASSERT_EQ(corners[2 * j + 1], static_cast<int32_t>(quad.vertices[j].y)) << "caster " << k;
        }
    }
    // The light quad survived the growth.
    for (int i = 0; i < 8; ++i) EXPECT_EQ(buffer.coords[i], lightQuad[i]);
}

TEST(LightVertices, GrownBufferIsReusedWithoutAllocating) {
    const int32_t lightQuad[8] = {-300, -300, 300, -300, 300, 300, -300, 300};
    for (int i = 0; i < 190; ++i) addSquare(-400.0f + 4.0f * i, 200.0f, 3.0f);
    LightVertices buffer;
    buildLightVertices(buffer, lightQuad, {0, 0});
    const int32_t* grown = buffer.coords.data();
    const size_t scratch = buffer.casting.capacity();

    buildLightVertices(buffer, lightQuad, {5000, 0});  // nothing casts here
    EXPECT_EQ(buffer.casterCount, 0);
    buildLightVertices(buffer, lightQuad, {0, 10});
    EXPECT_EQ(buffer.casterCount, 190);
    EXPECT_EQ(buffer.coords.data(), grown);
    EXPECT_EQ(buffer.casting.capacity(), scratch);
}

TEST(ShadowRange, CornersWhoseShadowsWouldPinAreOutOfRange) {
    const Vec2f near[4] = {{0, 0}, {2147482000.0f, 0}, {0, -2147482000.0f}, {0, 0}};
    EXPECT_FALSE(shadowGeometryInRange(near));  // 2500 farther passes 2^31
    const Vec2f inside[4] = {{0, 0}, {2147000000.0f, 0}, {0, -2147000000.0f}, {0, 0}};
    EXPECT_TRUE(shadowGeometryInRange(inside));
    const Vec2f notANumber[4] = {{0, 0}, {NAN, 0}, {0, 0}, {0, 0}};
    EXPECT_FALSE(shadowGeometryInRange(notANumber));
    // Whatever the light, every shadow point of an in-range quad converts without pinning.
    const float x = 2146990000.0f, y = -2146990000.0f;
    MapQuad quad;
    quad.vertices[0] = {x - 1000, y - 1000};
    quad.vertices[1] = {x + 1000, y - 1000};
    quad.vertices[2] = {x + 1000, y + 1000};
    quad.vertices[3] = {x - 1000, y + 1000};
    ASSERT_TRUE(shadowGeometryInRange(quad.vertices));
    for (double turn = 0; turn < 2 * M_PI; turn += 0.1) {
        const Vec2f light{x + static_cast<float>(5000 * std::cos(turn)),
                          y + static_cast<float>(5000 * std::sin(turn))};
        const ShadowQuad shadow = buildShadowQuad(quad, light);
        for (int32_t point : shadow.points) {
            EXPECT_NE(point, std::numeric_limits<int32_t>::max());
            EXPECT_NE(point, std::numeric_limits<int32_t>::min());
        }
    }
}
