// map_history_test.cpp: undo and redo of map edits bring back the same corners, order and fixtures.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>

#include "map/map_commands.h"
#include "map/map_editor.h"
#include "map/map_history.h"
#include "map/map_invariants.h"
#include "map/map_quad.h"
#include "map/quad_index.h"
#include "physics/physics_world.h"
#include "physics/static_shapes.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {

// The first broken invariant of the quads, "" when all hold.
std::string brokenInvariant() {
    std::string why;
    mapInvariantsHold(why);
    return why;
}


class MapHistoryTest : public testing::Test {
protected:
    void SetUp() override {
        captureStdout([] { loadAllTextures(loadNoImage); });
        createWorld();
        setEditorEnabled(true);
    }
};

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every quad whose corners make a polygon has exactly one fixture, on a shared static body of the
// current world, with its corners in metres; the shared bodies hold nothing else, and the world
// holds nothing but them and the ground.
void expectFixturesMatchCorners(const char* when) {
    std::set<const b2Fixture*> owned;
    for (const auto& quad : mapQuads()) {
        if (!isValidBodyPolygon(quad.vertices)) {
            EXPECT_EQ(quad.fixture, nullptr) << when;
            continue;
        }
        ASSERT_NE(quad.fixture, nullptr) << when;
        EXPECT_TRUE(owned.insert(quad.fixture).second) << when << ": two quads share a fixture";
        const b2Body* body = quad.fixture->GetBody();
        EXPECT_EQ(body->GetWorld(), getWorld()) << when;
        EXPECT_EQ(body->GetType(), b2_staticBody) << when;
        const auto* shape = static_cast<const b2PolygonShape*>(quad.fixture->GetShape());
        ASSERT_EQ(shape->m_count, 4) << when;
        for (const Vec2f corner : quad.vertices) {
            const b2Vec2* end = shape->m_vertices + 4;
            const bool found = std::any_of(shape->m_vertices, end, [&](const b2Vec2& v) {
                return sameBits(v.x, toMetres(corner.x)) && sameBits(v.y, toMetres(corner.y));
            });
            EXPECT_TRUE(found) << when << ": a fixture corner is not where the quad's is";
        }
    }
    size_t onSharedBodies = 0;
    for (const b2Body* body : staticShapeBodies()) {
        for (const b2Fixture* f = body->GetFixtureList(); f != nullptr; f = f->GetNext()) {
            EXPECT_EQ(owned.count(f), 1u) << when << ": a fixture no quad owns";
            ++onSharedBodies;
        }
    }
    EXPECT_EQ(onSharedBodies, owned.size()) << when;
    EXPECT_EQ(getWorld()->GetBodyCount(), static_cast<int32_t>(staticShapeBodies().size()) + 1)
        << when;  // and the ground
}

// One random edit of the kinds the keys and the mouse make.
void randomEdit(std::mt19937& rng) {
    std::uniform_real_distribution<float> place(-300.0f, 300.0f);
    std::uniform_real_distribution<float> nudge(-30.0f, 30.0f);
    const int kind = static_cast<int>(rng() % 5);
    if (kind == 0 || getQuadCount() == 0) {
        addDefaultQuadAsEdit();
    } else if (kind == 1) {
        addSquareAt({place(rng), place(rng)});
    } else if (kind == 2) {
        for (MapQuad& quad : mapQuads()) quad.selected = rng() % 3 == 0;
        deleteSelectedQuads();
    } else {
        // Select a quad, grab it near a corner or in the middle, drag, release.
        const MapQuad& target = getQuad(static_cast<int32_t>(rng() % mapQuads().size()));
        const int corner = static_cast<int>(rng() % 5);
        Vec2f at = quadCenter(target);
        if (corner < 4) {
            at.x = quadCenter(target).x * 0.2f + target.vertices[corner].x * 0.8f;
            at.y = quadCenter(target).y * 0.2f + target.vertices[corner].y * 0.8f;
        }
        editorMouseDown(at);
        editorMouseDown(at);
        for (int i = 0; i < 3; ++i) editorDrag({nudge(rng), nudge(rng)});
        editorMouseUp();
        editorDrag({0.0f, 0.0f});  // the motion after a release rebuilds the fixtures
    }
}

// The quad index still answers as the plain list scan after the splices undo and redo make.
void expectIndexAgreesWithScan(std::mt19937& rng, const char* when) {
    std::uniform_real_distribution<float> place(-350.0f, 350.0f);
    for (int i = 0; i < 200; ++i) {
        const Vec2f point{place(rng), place(rng)};
        const int32_t indexed = findQuadAt(point);
        setQuadIndexEnabled(false);
        const int32_t scanned = findQuadAt(point);
        setQuadIndexEnabled(true);
        ASSERT_EQ(indexed, scanned) << when << " at " << point.x << ", " << point.y;
    }
}

}  // namespace

TEST_F(MapHistoryTest, UndoingEverythingGivesTheOriginalAndRedoingEverythingTheFinalBitForBit) {
    for (uint32_t seed = 0; seed < 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        clearMapHistory();
        clearMapQuads(true);
        std::mt19937 rng(seed);
        for (int i = 0; i < 3; ++i) addSquareAt({80.0f * static_cast<float>(i), 0.0f});
        clearMapHistory();
        const MapSnapshot original = snapshotMap();

        for (int i = 0; i < 40; ++i) {
            randomEdit(rng);
            if (rng() % 6 == 0) undoMapEdit(nullptr);  // some undos in between, then new edits
            if (rng() % 9 == 0) redoMapEdit(nullptr);
        }
        const MapSnapshot final = snapshotMap();
        const size_t levels = undoLevels();
        const size_t undoneAtTheEnd = redoLevels();  // undos not yet followed by a new edit

        while (undoMapEdit(nullptr)) {}
        EXPECT_TRUE(sameGeometry(snapshotMap(), original));
        expectFixturesMatchCorners("after undoing everything");
        expectIndexAgreesWithScan(rng, "after undoing everything");
        ASSERT_EQ(redoLevels(), levels + undoneAtTheEnd);

        for (size_t i = 0; i < levels; ++i) ASSERT_TRUE(redoMapEdit(nullptr));
        EXPECT_TRUE(sameGeometry(snapshotMap(), final));
        expectFixturesMatchCorners("after redoing everything");
        expectIndexAgreesWithScan(rng, "after redoing everything");
        getWorld()->Step(0.01f, 5, 6);  // the rebuilt fixtures are sound
    }
}

TEST_F(MapHistoryTest, KeepsTheLast200EditsAndANewEditDropsTheRedoList) {
    for (int i = 0; i < 150; ++i) addSquareAt({8.0f * static_cast<float>(i), 0.0f});
    EXPECT_EQ(undoLevels(), 150u);
    for (int i = 0; i < 150; ++i) ASSERT_TRUE(undoMapEdit(nullptr)) << i;
    EXPECT_EQ(getQuadCount(), 0);
    EXPECT_FALSE(undoMapEdit(nullptr));

    std::string label;
    ASSERT_TRUE(redoMapEdit(&label));
    EXPECT_EQ(label, "add quad");
    addDefaultQuadAsEdit();
    EXPECT_EQ(redoLevels(), 0u);
    EXPECT_FALSE(redoMapEdit(nullptr));

    for (int i = 0; i < 250; ++i) addDefaultQuadAsEdit();
    EXPECT_EQ(undoLevels(), kMaxUndoLevels);
}

TEST_F(MapHistoryTest, ADragIsOneEditOnlyWhenItMovedSomething) {
    addSquareAt({50, 50});    // (32, 32)..(72, 72), on the grid already
    addSquareAt({200, 200});  // a quad after it, so order counts
    clearMapHistory();
    editorMouseDown({50, 50});
    editorMouseDown({50, 50});  // grabbed, released without moving: nothing to undo
    editorMouseUp();
    EXPECT_EQ(undoLevels(), 0u);

    const MapSnapshot before = snapshotMap();
    editorMouseDown({34, 34});  // corner 0
    editorDrag({-3.3f, 1.7f});
    editorDrag({-0.9f, -7.1f});
    editorMouseUp();
    ASSERT_EQ(undoLevels(), 1u);
    const MapSnapshot after = snapshotMap();
    std::string label;
    ASSERT_TRUE(undoMapEdit(&label));
    EXPECT_EQ(label, "move corner");
    EXPECT_TRUE(sameGeometry(snapshotMap(), before));
    EXPECT_TRUE(getQuad(0).selected);  // the selection of that time comes back too
    EXPECT_EQ(getQuad(0).editMode, -1);
    ASSERT_TRUE(redoMapEdit(&label));
    EXPECT_TRUE(sameGeometry(snapshotMap(), after));

    ASSERT_EQ(deleteSelectedQuads(), 1);
    EXPECT_EQ(getQuadCount(), 1);
    ASSERT_TRUE(undoMapEdit(&label));
    EXPECT_EQ(label, "delete quad");
    EXPECT_TRUE(sameGeometry(snapshotMap(), after));
    expectFixturesMatchCorners("after undoing the delete");
}

// A Debug build checks the map after every undo or redo splice: a body left on corners that
// cannot hold one is caught there, with one line on standard error.
TEST_F(MapHistoryTest, AnUndoSpliceChecksTheMapInvariantsInDebugBuilds) {
    if (!kCheckInvariants) GTEST_SKIP() << "Release builds do not check as they run";
    createQuad(0, 0, 100, 0, 100, 50, 0, 50);
    recordQuadAppended("add");
    createQuad(200, 0, 300, 0, 300, 50, 200, 50);
    recordQuadAppended("add");
    EXPECT_EQ(brokenInvariant(), "");
    const Vec2f line[4] = {{0, 0}, {50, 0}, {100, 0}, {150, 0}};
    setCorners(getQuad(0), line);  // stored as they are: the old body stays
    EXPECT_EQ(brokenInvariant(), "quad 0 has a fixture on unsound corners");
    EXPECT_DEATH(undoMapEdit(nullptr),
                 "^invariant broken after an undo or redo splice: quad 0 has a fixture on unsound corners\n");
}
