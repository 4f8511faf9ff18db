// map_quad_test.cpp: quad validation, point queries, covered-edge bursts and static bodies.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "physics/static_shapes.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {


class MapQuadTest : public testing::Test {
protected:
    void SetUp() override {
        captureStdout([] { loadAllTextures(loadNoImage); });
        createWorld();
        bloom = findTexture("bloomtest.png");
        ASSERT_NE(bloom, nullptr);
    }

    MapQuad& addQuad(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                     float y3) {
        auto* quad = &registerQuad();
        setGeometry(*quad, x0, y0, x1, y1, x2, y2, x3, y3);
        return *quad;
    }
    MapQuad& addSquare() { return addQuad(30, 30, 70, 30, 70, 70, 30, 70); }

    Texture* bloom = nullptr;
};

void expectCorners(const MapQuad& quad, const float expected[8]) {
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(quad.vertices[k].x, expected[2 * k]) << "corner " << k;
        EXPECT_EQ(quad.vertices[k].y, expected[2 * k + 1]) << "corner " << k;
    }
}

// Metre corners of the quad's polygon fixture, in Box2D's order.
std::vector<b2Vec2> fixturePolygon(const MapQuad& quad) {
    std::vector<b2Vec2> points;
    const b2Fixture* fixture = quad.fixture;
    const auto* shape = static_cast<const b2PolygonShape*>(fixture->GetShape());
    for (int i = 0; i < shape->m_count; ++i) points.push_back(shape->m_vertices[i]);
    return points;
}

const float kSquare[8] = {30, 30, 70, 30, 70, 70, 30, 70};

}  // namespace

TEST_F(MapQuadTest, ScreenClockwiseSquareIsAcceptedAndReversedOrderKeepsOldCorners) {
    MapQuad& quad = addSquare();
    expectCorners(quad, kSquare);
    EXPECT_EQ(quadCenter(quad).x, 50.0f);
    EXPECT_EQ(quadCenter(quad).y, 50.0f);

    setGeometry(quad, 30, 30, 30, 70, 70, 70, 70, 30);
    expectCorners(quad, kSquare);
    ASSERT_NE(quad.fixture, nullptr);  // rebuilt from the kept corners
}

TEST_F(MapQuadTest, CollinearCornersAreRejected) {
    MapQuad& quad = addSquare();
    setGeometry(quad, 30, 30, 50, 30, 70, 30, 50, 70);  // 0, 1, 2 on one line
    expectCorners(quad, kSquare);
    setGeometry(quad, 30, 30, 70, 30, 70, 70, 70, 90);  // 1, 2, 3 on one line
    expectCorners(quad, kSquare);
}

TEST_F(MapQuadTest, FirstProposalRejectedLeavesZeroCornersAndNoBody) {
    MapQuad& quad = addQuad(30, 30, 30, 70, 70, 70, 70, 30);
    const float zero[8] = {};
    expectCorners(quad, zero);
    EXPECT_EQ(quad.fixture, nullptr);
    EXPECT_EQ(getWorld()->GetBodyCount(), 1);  // only the ground
}

TEST_F(MapQuadTest, PointsOnEdgesAndCornersAreOutside) {
    const MapQuad& quad = addSquare();
    EXPECT_TRUE(containsPoint(quad, {50, 50}));
    EXPECT_TRUE(containsPoint(quad, {30.01f, 69.99f}));
    EXPECT_FALSE(containsPoint(quad, {50, 30}));
    EXPECT_FALSE(containsPoint(quad, {70, 50}));
    EXPECT_FALSE(containsPoint(quad, {30, 30}));
    EXPECT_FALSE(containsPoint(quad, {70, 70}));
    EXPECT_FALSE(containsPoint(quad, {50, 71}));
    EXPECT_FALSE(containsPoint(quad, {-50, -50}));
}

TEST_F(MapQuadTest, EmptyMapFindsNothing) {
    EXPECT_EQ(getQuadCount(), 0);
    EXPECT_EQ(findQuadAt({50, 50}), -1);
    EXPECT_FALSE(anyQuadAt({50, 50}));
}

TEST_F(MapQuadTest, FindQuadAtReturnsLowestIndexAndAnyQuadAtSeesLaterQuads) {
    addQuad(0, 0, 20, 0, 20, 20, 0, 20);
    addQuad(40, 40, 100, 40, 100, 100, 40, 100);
    addQuad(50, 50, 90, 50, 90, 90, 50, 90);
    EXPECT_EQ(findQuadAt({60, 60}), 1);
    EXPECT_EQ(findQuadAt({45, 45}), 1);
    EXPECT_EQ(findQuadAt({10, 10}), 0);
    EXPECT_EQ(findQuadAt({30, 30}), -1);
    EXPECT_TRUE(anyQuadAt({60, 60}));
    EXPECT_FALSE(anyQuadAt({30, 30}));
    EXPECT_EQ(getQuadCount(), 3);
    EXPECT_EQ(&getQuad(2), &mapQuads()[2]);
}

TEST_F(MapQuadTest, HeadingsOfTheAxesAndOfAZeroVector) {
    EXPECT_EQ(headingDeg({1, 0}, {0, 0}), 180.0f);
    EXPECT_EQ(headingDeg({0, 1}, {0, 0}), 90.0f);
    EXPECT_EQ(headingDeg({0, -1}, {0, 0}), 270.0f);
    const float minusX = headingDeg({-1, 0}, {0, 0});
    EXPECT_GT(minusX, 0.0f);  // the float pi is slightly above pi
    EXPECT_NEAR(minusX, 0.000005f, 0.000002f);
    EXPECT_EQ(headingDeg({5, 5}, {5, 5}), 180.0f);
    EXPECT_EQ(headingDeg({3, 3}, {1, 1}), headingDeg({2, 2}, {0, 0}));
}

TEST_F(MapQuadTest, WrappedDiffTakesTheShortWayRoundWithStrictBounds) {
    EXPECT_EQ(wrappedDiff(350, 10), -20.0f);
    EXPECT_EQ(wrappedDiff(10, 350), 20.0f);
    EXPECT_EQ(wrappedDiff(190, 10), 180.0f);
    EXPECT_EQ(wrappedDiff(10, 190), -180.0f);
    EXPECT_EQ(wrappedDiff(100, 30), 70.0f);
}

TEST_F(MapQuadTest, ProbePointsLieTwoUnitsOutsideEachEdgeMidpoint) {
    // Equal neighbours on all four sides: every edge is covered, and each burst marks its probe.
    addQuad(30, -10, 70, -10, 70, 30, 30, 30);
    addQuad(70, 30, 110, 30, 110, 70, 70, 70);
    addQuad(30, 70, 70, 70, 70, 110, 30, 110);
    addQuad(-10, 30, 30, 30, 30, 70, -10, 70);
    bloom->queues.bursts.clear();
    addSquare();
    ASSERT_EQ(bloom->queues.bursts.size(), 4u);
    const float expected[4][2] = {{50, 28}, {72, 50}, {50, 72}, {28, 50}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(bloom->queues.bursts[k].x, expected[k][0]) << "edge " << k;
        EXPECT_EQ(bloom->queues.bursts[k].y, expected[k][1]) << "edge " << k;
        EXPECT_EQ(bloom->queues.bursts[k].angle, 0.0f);
    }
}

TEST_F(MapQuadTest, EdgeCoveredByAnEqualNeighbourBurstsOnceAndAgainOnReshape) {
    MapQuad& neighbour = addQuad(70, 30, 110, 30, 110, 70, 70, 70);
    EXPECT_TRUE(bloom->queues.bursts.empty());
    MapQuad& quad = addSquare();
    ASSERT_EQ(bloom->queues.bursts.size(), 1u);
    EXPECT_EQ(bloom->queues.bursts[0].x, 72.0f);
    EXPECT_EQ(bloom->queues.bursts[0].y, 50.0f);

    setGeometry(quad, 30, 30, 70, 30, 70, 70, 30, 70);
    EXPECT_EQ(bloom->queues.bursts.size(), 2u);

    // The neighbour's own edge 3 is covered by the square once the neighbour is reshaped.
    setGeometry(neighbour, 70, 30, 110, 30, 110, 70, 70, 70);
    ASSERT_EQ(bloom->queues.bursts.size(), 3u);
    EXPECT_EQ(bloom->queues.bursts[2].x, 68.0f);
    EXPECT_EQ(bloom->queues.bursts[2].y, 50.0f);
}

TEST_F(MapQuadTest, ShortNeighbourEdgeOrEmptySpaceCoversNothing) {
    addQuad(70, 40, 110, 40, 110, 60, 70, 60);
    addQuad(-100, -100, -60, -100, -60, -60, -100, -60);
    bloom->queues.bursts.clear();
    addSquare();
    EXPECT_TRUE(bloom->queues.bursts.empty());
}

TEST_F(MapQuadTest, ProbeInsideSeveralQuadsAsksOnlyTheFirst) {
    addQuad(70, 40, 110, 40, 110, 60, 70, 60);  // short facing edge, first in the list
    addQuad(70, 30, 110, 30, 110, 70, 70, 70);
    bloom->queues.bursts.clear();
    addSquare();
    EXPECT_TRUE(bloom->queues.bursts.empty());
}

TEST_F(MapQuadTest, FacingEdgeLengthOfTheNeighbour) {
    const MapQuad& quad = addQuad(70, 30, 110, 30, 110, 70, 70, 70);
    EXPECT_EQ(facingEdgeLength(quad, {72, 50}), 40.0f);
    EXPECT_EQ(facingEdgeLength(quad, {90, 32}), 40.0f);
    EXPECT_TRUE(std::isnan(facingEdgeLength(quad, {90, 50})));
    EXPECT_TRUE(std::isnan(facingEdgeLength(quad, {80, 40})));
    const MapQuad& flat = addQuad(0, 0, 60, 0, 60, 10, 0, 10);
    EXPECT_EQ(facingEdgeLength(flat, {30, 2}), 60.0f);
    EXPECT_EQ(facingEdgeLength(flat, {58, 5}), 10.0f);
}

TEST_F(MapQuadTest, SnapRoundsHalvesAwayFromZero) {
    EXPECT_EQ(snapCoordinate(3.9f), 0.0f);
    EXPECT_EQ(snapCoordinate(4.0f), 8.0f);
    EXPECT_EQ(snapCoordinate(11.99f), 8.0f);
    EXPECT_EQ(snapCoordinate(12.0f), 16.0f);
    EXPECT_EQ(snapCoordinate(-4.0f), -8.0f);
    const float minusZero = snapCoordinate(-3.99f);
    EXPECT_EQ(minusZero, 0.0f);
    EXPECT_TRUE(std::signbit(minusZero));

    MapQuad& quad = addQuad(3.9f, 4.0f, 11.99f, -4.0f, 12.0f, 20.0f, -3.99f, 19.0f);
    b2Fixture* fixture = quad.fixture;
    const Vec2f center = quadCenter(quad);
    snapToGrid(quad);
    const float expected[8] = {0, 8, 8, -8, 16, 24, -0.0f, 16};
    expectCorners(quad, expected);
    EXPECT_EQ(quad.fixture, fixture);  // the fixture and centre wait for the next setGeometry
    EXPECT_EQ(quadCenter(quad).x, center.x);
}

TEST_F(MapQuadTest, FixtureMirrorsTheCornersInMetresAndIsReplacedOnEveryReshape) {
    MapQuad& quad = addSquare();
    ASSERT_NE(quad.fixture, nullptr);
    EXPECT_EQ(quad.fixture->GetBody()->GetType(), b2_staticBody);
    EXPECT_EQ(quad.fixture->GetBody()->GetWorld(), getWorld());
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);  // the ground and the quads' shared body
    const std::vector<b2Vec2> polygon = fixturePolygon(quad);
    ASSERT_EQ(polygon.size(), 4u);
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (const b2Vec2& p : polygon) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    EXPECT_FLOAT_EQ(minX, 1.5f);
    EXPECT_FLOAT_EQ(maxX, 3.5f);
    EXPECT_FLOAT_EQ(minY, 1.5f);
    EXPECT_FLOAT_EQ(maxY, 3.5f);
    EXPECT_FLOAT_EQ(quad.fixture->GetFriction(), 0.2f);

    setGeometry(quad, 30, 30, 70, 30, 70, 70, 30, 70);
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);  // the old fixture went, a new one came
    EXPECT_EQ(quad.fixture->GetBody()->GetFixtureList(), quad.fixture);
    EXPECT_EQ(quad.fixture->GetNext(), nullptr);
}

TEST_F(MapQuadTest, TinyQuadKeepsItsCornersButGetsNoBodyUntilValidAgain) {
    // Passes the turn test, but its corners lie within Box2D's weld distance.
    MapQuad& quad = addQuad(10, 10, 10.02f, 10, 10.02f, 10.02f, 10, 10.02f);
    EXPECT_EQ(quad.vertices[1].x, 10.02f);
    EXPECT_EQ(quad.fixture, nullptr);
    setGeometry(quad, 10, 10, 50, 10, 50, 50, 10, 50);
    EXPECT_NE(quad.fixture, nullptr);
}

TEST_F(MapQuadTest, CollapsedSnapIsNeverHandedToThePhysics) {
    MapQuad& quad = addQuad(30, 30, 33, 30, 33, 33, 30, 33);
    ASSERT_NE(quad.fixture, nullptr);
    snapToGrid(quad);  // every corner lands on (32, 32)
    setGeometry(quad, quad.vertices[0].x, quad.vertices[0].y, quad.vertices[1].x,
                quad.vertices[1].y, quad.vertices[2].x, quad.vertices[2].y, quad.vertices[3].x,
                quad.vertices[3].y);
    EXPECT_EQ(quad.fixture, nullptr);
    ASSERT_EQ(staticShapeBodies().size(), 1u);  // kept, empty, for the next quad
    EXPECT_EQ(staticShapeBodies()[0]->GetFixtureList(), nullptr);
    getWorld()->Step(0.01f, 5, 6);
}

TEST_F(MapQuadTest, BodyPolygonCheckRefusesWhatBox2DCannotTake) {
    const Vec2f square[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    EXPECT_TRUE(isValidBodyPolygon(square));
    const Vec2f reversed[4] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    EXPECT_FALSE(isValidBodyPolygon(reversed));
    const Vec2f folded[4] = {{0, 0}, {10, 10}, {10, 0}, {0, 10}};
    EXPECT_FALSE(isValidBodyPolygon(folded));
    const Vec2f collapsed[4] = {{0, 0}, {10, 0}, {10, 0}, {0, 10}};
    EXPECT_FALSE(isValidBodyPolygon(collapsed));
    const Vec2f flat[4] = {{0, 0}, {10, 0}, {20, 0.00001f}, {0, 0.00001f}};
    EXPECT_FALSE(isValidBodyPolygon(flat));
    const Vec2f notANumber[4] = {{0, 0}, {10, 0}, {10, NAN}, {0, 10}};
    EXPECT_FALSE(isValidBodyPolygon(notANumber));
    const Vec2f infinite[4] = {{0, 0}, {INFINITY, 0}, {10, 10}, {0, 10}};
    EXPECT_FALSE(isValidBodyPolygon(infinite));
    const Vec2f huge[4] = {{0, 0}, {1e30f, 0}, {1e30f, 1e30f}, {0, 1e30f}};
    EXPECT_FALSE(isValidBodyPolygon(huge));
}

TEST_F(MapQuadTest, RandomNearDegenerateProposalsNeverAbortAndOnlyValidCornersGetBodies) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> spread(-40.0f, 40.0f);
    std::uniform_real_distribution<float> jitter(-0.05f, 0.05f);
    std::uniform_int_distribution<int> kind(0, 3);
    MapQuad& quad = addSquare();
    int accepted = 0, withBody = 0;
    for (int n = 0; n < 20000; ++n) {
        float c[8];
        const int k = kind(random);
        for (float& value : c) {
            if (k == 0) value = spread(random);
            else if (k == 1) value = 100.0f + jitter(random);  // corners almost on one point
            else value = std::round(spread(random) / 8.0f) * 8.0f + (k == 3 ? jitter(random) : 0);
        }
        const Vec2f before = quad.vertices[0];
        setGeometry(quad, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
        if (quad.vertices[0].x != before.x || quad.vertices[0].y != before.y) ++accepted;
        if (quad.fixture != nullptr) {
            ++withBody;
            EXPECT_TRUE(isValidBodyPolygon(quad.vertices));
        } else {
            EXPECT_FALSE(isValidBodyPolygon(quad.vertices));
        }
    }
    getWorld()->Step(0.01f, 5, 6);
    EXPECT_GT(accepted, 100);
    EXPECT_GT(withBody, 100);
}

// The reason for a rejection comes from the very turn test the loader applies: it is None
// exactly when the corners pass, whatever the corners.
TEST(CornerFault, NamesWhyValidationFailsAndNothingElse) {
    const Vec2f square[4] = {{30, 30}, {70, 30}, {70, 70}, {30, 70}};
    const Vec2f reversed[4] = {{30, 30}, {30, 70}, {70, 70}, {70, 30}};
    const Vec2f dart[4] = {{30, 30}, {70, 30}, {50, 40}, {30, 70}};
    const Vec2f bowTie[4] = {{30, 30}, {70, 70}, {70, 30}, {30, 70}};
    const Vec2f straight[4] = {{30, 30}, {50, 30}, {70, 30}, {70, 70}};
    const Vec2f repeated[4] = {{30, 30}, {30, 30}, {70, 70}, {30, 70}};
    const Vec2f notANumber[4] = {{30, 30}, {70, 30}, {70, NAN}, {30, 70}};
    EXPECT_EQ(cornerFault(square), CornerFault::None);
    EXPECT_EQ(cornerFault(reversed), CornerFault::WrongWinding);
    EXPECT_EQ(cornerFault(dart), CornerFault::NotConvex);
    EXPECT_EQ(cornerFault(bowTie), CornerFault::NotConvex);
    EXPECT_EQ(cornerFault(straight), CornerFault::Collinear);
    EXPECT_EQ(cornerFault(repeated), CornerFault::Collinear);
    EXPECT_EQ(cornerFault(notANumber), CornerFault::NotFinite);

    std::mt19937 random(77);
    std::uniform_int_distribution<int> grid(-3, 3);  // coarse, so ties and straight runs occur
    for (int i = 0; i < 20000; ++i) {
        Vec2f corners[4];
        for (Vec2f& c : corners) c = {static_cast<float>(grid(random)), static_cast<float>(grid(random))};
        ASSERT_EQ(cornerFault(corners) == CornerFault::None, cornersPassValidation(corners));
    }
}

// The list holds its quads by value a block at a time: appending never moves a quad, every quad
// knows its position, and a quad held anywhere else has none.
TEST_F(MapQuadTest, QuadsKeepTheirPlaceAcrossAppendsAndOnlyListedQuadsHaveAPosition) {
    MapQuad& first = addSquare();
    std::vector<MapQuad*> held;
    for (int i = 0; i < 9000; ++i) held.push_back(&registerQuad());  // past two block edges
    EXPECT_EQ(&getQuad(0), &first);
    for (size_t i = 0; i < held.size(); i += 97) {
        EXPECT_EQ(mapQuads().positionOf(*held[i]), static_cast<int32_t>(i + 1));
        EXPECT_EQ(&getQuad(static_cast<int32_t>(i + 1)), held[i]);
    }
    const MapQuad copy = first;
    EXPECT_EQ(mapQuads().positionOf(copy), -1);
    size_t walked = 0;
    for (const MapQuad& quad : mapQuads()) walked += &quad == &getQuad(static_cast<int32_t>(walked)) ? 1 : 0;
    EXPECT_EQ(walked, mapQuads().size());
}

// A quad whose corners moved without setGeometry keeps the centre it was made with, wherever
// splices move it, until setGeometry makes centre and fixture from its corners again.
TEST_F(MapQuadTest, ADetachedCentreTravelsWithItsQuadThroughSplices) {
    std::mt19937 gen(5);
    const auto below = [&gen](int n) { return static_cast<int32_t>(gen() % static_cast<uint32_t>(n)); };
    const auto square = [](float x, float y) {
        QuadShape shape;
        const Vec2f corners[4] = {{x, y}, {x + 16, y}, {x + 16, y + 16}, {x, y + 16}};
        std::copy(corners, corners + 4, shape.vertices);
        return shape;
    };
    for (int run = 0; run < 40; ++run) {
        clearMapQuads(true);
        std::vector<Vec2f> centres;  // what each listed quad's centre must be
        for (int i = 0; i < 12; ++i) {
            const float x = static_cast<float>(below(400)), y = static_cast<float>(below(400));
            addQuad(x, y, x + 16, y, x + 16, y + 16, x, y + 16);
            centres.push_back({x + 8, y + 8});
        }
        for (int step = 0; step < 30; ++step) {
            const int op = below(3);
            if (op == 0 && getQuadCount() > 0) {  // a whole-quad drag: corners only
                MapQuad& quad = getQuad(below(getQuadCount()));
                Vec2f moved[4];
                for (int k = 0; k < 4; ++k) moved[k] = {quad.vertices[k].x + 5, quad.vertices[k].y - 3};
                setCorners(quad, moved);
            } else if (op == 1 && getQuadCount() > 0) {  // the next motion catches up
                const int32_t i = below(getQuadCount());
                const Vec2f* v = getQuad(i).vertices;
                setGeometry(getQuad(i), v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y, v[3].x, v[3].y);
                centres[static_cast<size_t>(i)] = {v[0].x + 8, v[0].y + 8};
            } else {  // one quad out, one in, as undo does
                std::vector<int32_t> take;
                if (getQuadCount() > 0) take.push_back(below(getQuadCount()));
                const float x = static_cast<float>(below(400)), y = static_cast<float>(below(400));
                const int32_t at = below(getQuadCount() - static_cast<int32_t>(take.size()) + 1);
                spliceQuads(take, {{at, square(x, y)}});
                if (!take.empty()) centres.erase(centres.begin() + take[0]);
                centres.insert(centres.begin() + at, Vec2f{x + 8, y + 8});
            }
            ASSERT_EQ(centres.size(), mapQuads().size());
            for (size_t i = 0; i < centres.size(); ++i) {
                const Vec2f c = quadCenter(getQuad(static_cast<int32_t>(i)));
                ASSERT_EQ(c.x, centres[i].x) << "run " << run << " step " << step << " quad " << i;
                ASSERT_EQ(c.y, centres[i].y) << "run " << run << " step " << step << " quad " << i;
            }
        }
    }
}
