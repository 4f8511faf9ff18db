// quad_index_test.cpp: the indexed queries and the editor give the plain list scan's answers on
// random maps (degenerate, folded, huge and NaN quads among them) through random edits.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "map/map_codec.h"
#include "map/map_editor.h"
#include "map/map_file.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "map/quad_index.h"
#include "render/texture.h"
#include "support/gl_window.h"
#include "support/property_cases.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();


struct Random {
    std::mt19937 gen;
    explicit Random(uint32_t seed) : gen(seed) {}
    float uniform(float low, float high) {
        return std::uniform_real_distribution<float>(low, high)(gen);
    }
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen); }
    bool chance(double p) { return std::bernoulli_distribution(p)(gen); }
};

int32_t linearFind(Vec2f point) {
    for (int32_t i = 0; i < getQuadCount(); ++i) {
        if (containsPoint(getQuad(i), point)) return i;
    }
    return -1;
}

// Mostly clean convex quads, on and off the 8-unit grid (so edges meet and get covered), with
// slivers, wrongly wound and NaN proposals, and huge corners mixed in.
void addRandomQuad(Random& r) {
    const float cx = r.uniform(-300, 300), cy = r.uniform(-300, 300);
    const int kind = r.below(12);
    if (kind < 4) {  // grid squares, often sharing edges
        const float x = 8.0f * static_cast<float>(r.below(40) - 20);
        const float y = 8.0f * static_cast<float>(r.below(40) - 20);
        const float s = 8.0f * static_cast<float>(1 + r.below(6));
        createQuad(x, y, x + s, y, x + s, y + s, x, y + s);
    } else if (kind < 8) {  // corners on an ellipse, in increasing angle: convex
        float angles[4];
        for (float& a : angles) a = r.uniform(0.0f, 6.2831853f);
        std::sort(angles, angles + 4);
        const float rx = r.uniform(0.5f, 120.0f), ry = r.uniform(0.5f, 120.0f);
        float c[8];
        for (int k = 0; k < 4; ++k) {
            c[2 * k] = cx + rx * std::cos(angles[k]);
            c[2 * k + 1] = cy + ry * std::sin(angles[k]);
        }
        createQuad(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    } else if (kind == 8) {  // a sliver: one corner barely off the line of two others
        const float e = r.chance(0.5) ? 1e-3f : 0.05f;
        createQuad(cx, cy, cx + 100, cy + e, cx + 200, cy + 2 * e + 1e-3f, cx + 100, cy + 40);
    } else if (kind == 9) {  // wrongly wound: a new quad keeps four zero corners
        createQuad(cx, cy, cx, cy + 40, cx + 40, cy + 40, cx + 40, cy);
    } else if (kind == 10) {  // huge
        const float s = r.chance(0.5) ? 1e20f : 3e6f;
        createQuad(-s, -s, s, -s, s, s, -s, s);
    } else {
        createQuad(cx, cy, kNaN, cy, cx + 40, cy + 40, cx, cy + 40);
    }
}

// Points that probe the rounding of the heading tests: on and next to corners and edges, along
// edge lines far beyond their corners, anywhere, far away and NaN.
Vec2f probePoint(Random& r) {
    const int kind = r.below(10);
    if (kind == 0 || getQuadCount() == 0) return {r.uniform(-500, 500), r.uniform(-500, 500)};
    if (kind == 1) return {kNaN, r.uniform(-10, 10)};
    if (kind == 2) return {r.uniform(-1e7f, 1e7f), r.uniform(-1e7f, 1e7f)};
    const MapQuad& quad = getQuad(r.below(getQuadCount()));
    const int k = r.below(4);
    const Vec2f a = quad.vertices[k], b = quad.vertices[(k + 1) % 4];
    static const float kOffsets[] = {0.0f, 1e-6f, -1e-6f, 1e-4f, -1e-4f, 0.01f, -0.01f, 0.5f, -0.5f};
    const float off = kOffsets[r.below(9)];
    if (kind == 3) return {std::nextafter(a.x, r.chance(0.5) ? kInf : -kInf), a.y + off};
    const float t = kind < 7 ? r.uniform(0.0f, 1.0f) : r.uniform(-300.0f, 300.0f);
    const float dx = b.x - a.x, dy = b.y - a.y;
    Vec2f p{a.x + t * dx + off * dy, a.y + t * dy - off * dx};
    if (r.chance(0.5)) {  // a few units in the last place either way
        for (int n = r.below(4); n >= 0; --n) p.x = std::nextafter(p.x, r.chance(0.5) ? kInf : -kInf);
        for (int n = r.below(4); n >= 0; --n) p.y = std::nextafter(p.y, r.chance(0.5) ? kInf : -kInf);
    }
    return p;
}

// Over a whole run: how often quads were held by their fixtures and by boxes, so that the run is
// known to have tried both ways.
QuadIndexCounts held;

void expectQueriesMatchTheScan(Random& r, const std::string& where) {
    if (quadIndexEnabled()) {
        ASSERT_EQ(quadIndexProblem(), "") << where;
        const QuadIndexCounts now = quadIndexCounts();
        held.byFixture += now.byFixture;
        held.byBox += now.byBox;
    }
    std::vector<int32_t> listed;
    for (int i = 0; i < 40; ++i) {
        const Vec2f p = probePoint(r);
        const int32_t expected = linearFind(p);
        ASSERT_EQ(findQuadAt(p), expected) << where << " at (" << p.x << ", " << p.y << ")";
        ASSERT_EQ(anyQuadAt(p), expected != -1) << where;
    }
    for (int i = 0; i < 4; ++i) {
        // Every quad with a corner or its centre in a box is listed, in ascending order.
        const Vec2f low = probePoint(r);
        const Vec2f high{low.x + r.uniform(0, 300), low.y + r.uniform(0, 300)};
        quadsInBox(low, high, listed);
        ASSERT_TRUE(std::is_sorted(listed.begin(), listed.end())) << where;
        for (int32_t q = 0; q < getQuadCount(); ++q) {
            const MapQuad& quad = getQuad(q);
            bool inside = false;
            for (const Vec2f& v : quad.vertices) {
                inside = inside || (v.x >= low.x && v.x <= high.x && v.y >= low.y && v.y <= high.y);
            }
            const Vec2f c = quadCenter(quad);
            inside = inside || (c.x >= low.x && c.x <= high.x && c.y >= low.y && c.y <= high.y);
            if (inside) {
                ASSERT_TRUE(std::binary_search(listed.begin(), listed.end(), q)) << where;
            }
        }
    }
}

// The editor's flags as the plain walk over every quad would leave them.
struct Flags {
    bool selected;
    int32_t editMode;
};
std::vector<Flags> currentFlags() {
    std::vector<Flags> flags;
    for (const auto& quad : mapQuads()) flags.push_back({quad.selected, quad.editMode});
    return flags;
}
void expectFlags(const std::vector<Flags>& expected, const std::string& where) {
    ASSERT_EQ(expected.size(), mapQuads().size()) << where;
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(mapQuads()[i].selected, expected[i].selected) << where << " quad " << i;
        ASSERT_EQ(mapQuads()[i].editMode, expected[i].editMode) << where << " quad " << i;
    }
}

// One random map and a run of random edits; returns a trace of everything the run produced
// (corners, centres, flags, covered-edge bursts) so runs with and without the index compare.
std::vector<float> playScenario(uint32_t seed) {
    Random r(seed);
    clearMapQuads(true);
    Texture& bloom = *findTexture("bloomtest.png");
    bloom.queues.bursts.clear();
    const int quads = r.below(30);
    for (int i = 0; i < quads; ++i) addRandomQuad(r);
    const std::string where = "seed " + std::to_string(seed);
    expectQueriesMatchTheScan(r, where + " after loading");
    for (int step = 0; step < 12; ++step) {
        std::vector<Flags> expected = currentFlags();
        const int op = r.below(11);
        if (op < 3) {  // press, often on a quad
            const Vec2f p = r.chance(0.7) ? probePoint(r) : Vec2f{r.uniform(-300, 300), 0};
            for (size_t i = 0; i < mapQuads().size(); ++i) {
                MapQuad copy = mapQuads()[i];
                if (!containsPoint(copy, p)) {
                    // Just outside a selected quad, its drawn handle (6 units each way at the
                    // default pixel size) grabs the nearest corner; elsewhere it is deselected.
                    int32_t corner = -1;
                    float nearest = kHandleReachPixels;
                    for (int32_t k = 0; k < 4 && copy.selected; ++k) {
                        const float d = std::max(std::fabs(p.x - copy.vertices[k].x), std::fabs(p.y - copy.vertices[k].y));
                        if (d <= nearest && (corner == -1 || d < nearest)) corner = k, nearest = d;
                    }
                    if (corner >= 0) {
                        expected[i].editMode = corner;
                    } else {
                        expected[i].selected = false;
                    }
                } else if (copy.selected) {
                    pickEditMode(copy, p);
                    expected[i].editMode = copy.editMode;
                } else {
                    expected[i] = {true, -1};
                }
            }
            editorMouseDown(p);
        } else if (op < 5) {  // drag: only selected quads move, a whole quad exactly by d
            const Vec2f d{r.uniform(-20, 20), r.uniform(-20, 20)};
            std::vector<MapQuad> before;
            for (const auto& quad : mapQuads()) before.push_back(quad);
            editorDrag(d);
            for (size_t i = 0; i < mapQuads().size(); ++i) {
                const MapQuad& now = mapQuads()[i];
                for (int k = 0; k < 4; ++k) {
                    Vec2f want = before[i].vertices[k];
                    if (before[i].selected && before[i].editMode == 4) want = {want.x + d.x, want.y + d.y};
                    if (!before[i].selected || before[i].editMode == 4) {
                        if (std::memcmp(&now.vertices[k], &want, sizeof want) != 0) {
                            ADD_FAILURE() << where << " quad " << i << " moved wrongly";
                            return {};
                        }
                    }
                }
            }
        } else if (op == 5) {  // release
            for (Flags& f : expected) f.editMode = -1;
            editorMouseUp();
        } else if (op == 6) {  // key 3
            addDefaultQuad();
            expected.push_back({false, -1});
        } else if (op == 7 && getQuadCount() > 0) {  // a snap, or corners written as they come
            MapQuad& quad = getQuad(r.below(getQuadCount()));
            if (r.chance(0.5)) {
                snapToGrid(quad);
            } else {
                const Vec2f odd[4] = {{kNaN, 0}, {1e30f, 1e30f}, {0, kInf}, {5, 5}};
                Vec2f corners[4];
                for (Vec2f& c : corners) c = r.chance(0.3) ? odd[r.below(4)] : probePoint(r);
                setCorners(quad, corners);
            }
        } else if (op == 8) {  // reload through the file's bytes
            const std::vector<uint8_t> bytes = encodeMap(currentMapRecords());
            clearMapQuads(true);
            createMapQuads(decodeMap(bytes.data(), bytes.size()));
            expected.assign(mapQuads().size(), Flags{false, -1});
        } else if (op == 10) {  // a new world: the old one goes, and the quads' fixtures with it
            WorldPtr old = createWorld();
        } else if (getQuadCount() > 1) {  // a splice, as undo makes: one quad out, a copy in
            const int32_t i = r.below(getQuadCount());
            const QuadShape copy = shapeOf(getQuad(r.below(getQuadCount())));
            const int32_t at = r.below(getQuadCount());
            spliceQuads({i}, {{at, copy}});
            expected.erase(expected.begin() + i);
            expected.insert(expected.begin() + at, Flags{copy.selected, -1});
        }
        expectFlags(expected, where + " step " + std::to_string(step));
        expectQueriesMatchTheScan(r, where + " step " + std::to_string(step));
        if (testing::Test::HasFatalFailure()) return {};
    }
    std::vector<float> trace;
    for (const auto& quad : mapQuads()) {
        for (const Vec2f& v : quad.vertices) trace.insert(trace.end(), {v.x, v.y});
        trace.insert(trace.end(), {quadCenter(quad).x, quadCenter(quad).y,
                                   static_cast<float>(quad.selected),
                                   static_cast<float>(quad.editMode)});
    }
    for (const Burst& b : bloom.queues.bursts) trace.insert(trace.end(), {b.x, b.y});
    return trace;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

class QuadIndexTest : public testing::Test {
protected:
    void SetUp() override {
        captureStdout([] { loadAllTextures(loadNoImage); });
        createWorld();
    }
    void TearDown() override { setQuadIndexEnabled(true); }
};

}  // namespace

TEST_F(QuadIndexTest, RandomMapsAndEditsAnswerAsTheListScanDoes) {
    for (uint32_t seed = 1; seed <= static_cast<uint32_t>(propertyCases(800)); ++seed) {
        setQuadIndexEnabled(true);
        const std::vector<float> indexed = playScenario(seed);
        ASSERT_FALSE(HasFatalFailure());
        setQuadIndexEnabled(false);
        const std::vector<float> scanned = playScenario(seed);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(sameBits(indexed, scanned)) << "seed " << seed;
    }
    EXPECT_GT(held.byFixture, 0u);  // small clean quads stand for themselves ...
    EXPECT_GT(held.byBox, 0u);      // ... large, detached or worldless ones have boxes
}

// The index lets a quad's fixture stand for it by assuming how Box2D's broad phase pads a static
// fixture's bounds; Box2D must find the fixture at every corner of that padding and not a float
// step beyond it.
TEST_F(QuadIndexTest, TheBroadPhaseHoldsAFixtureExactlyWhereTheIndexAssumes) {
    std::mt19937 gen(3);
    const auto found = [](b2Fixture* fixture, float x, float y) {
        struct Finder : b2QueryCallback {
            b2Fixture* wanted = nullptr;
            bool seen = false;
            bool ReportFixture(b2Fixture* f) override { return !(seen = seen || f == wanted); }
        } finder;
        finder.wanted = fixture;
        b2AABB point;
        point.lowerBound.Set(x, y);
        point.upperBound = point.lowerBound;
        getWorld()->QueryAABB(&finder, point);
        return finder.seen;
    };
    for (int i = 0; i < 200; ++i) {
        clearMapQuads(true);
        const float x = std::uniform_real_distribution<float>(-5000, 5000)(gen);
        const float y = std::uniform_real_distribution<float>(-5000, 5000)(gen);
        const float s = std::uniform_real_distribution<float>(1, 300)(gen);
        b2Fixture* fixture = quadFixture(createQuad(x, y, x + s, y, x + s, y + s, x, y + s));
        ASSERT_NE(fixture, nullptr);
        const b2Vec2 margin(b2_aabbExtension, b2_aabbExtension);
        const b2Vec2 low = fixture->GetAABB(0).lowerBound - margin;
        const b2Vec2 high = fixture->GetAABB(0).upperBound + margin;
        for (const b2Vec2& corner : {low, high, b2Vec2(low.x, high.y), b2Vec2(high.x, low.y)}) {
            ASSERT_TRUE(found(fixture, corner.x, corner.y)) << "quad " << i;
            const float outX = std::nextafter(corner.x, corner.x == low.x ? -kInf : kInf);
            const float outY = std::nextafter(corner.y, corner.y == low.y ? -kInf : kInf);
            ASSERT_FALSE(found(fixture, outX, corner.y)) << "quad " << i;
            ASSERT_FALSE(found(fixture, corner.x, outY)) << "quad " << i;
        }
    }
}
