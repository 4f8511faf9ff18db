// map_editor_test.cpp: selecting, picking a drag mode, dragging and snapping quads.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <string>

#include "map/map_editor.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {


class MapEditorTest : public testing::Test {
protected:
    void SetUp() override {
        captureStdout([] { loadAllTextures(loadNoImage); });
        createWorld();
    }
    // Selects the default square with a first press and grabs it with a second.
    MapQuad& grabSquareAt(Vec2f point) {
        addDefaultQuad();
        MapQuad& quad = mapQuads().back();
        editorMouseDown({50, 50});
        editorMouseDown(point);
        return quad;
    }
};

void expectCorners(const MapQuad& quad, std::initializer_list<float> c) {
    const float* v = c.begin();
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(quad.vertices[k].x, v[2 * k]) << "corner " << k;
        EXPECT_EQ(quad.vertices[k].y, v[2 * k + 1]) << "corner " << k;
    }
}

}  // namespace

TEST_F(MapEditorTest, SecondPressPicksCornerOrWholeQuadByRegion) {
    addDefaultQuad();
    MapQuad& quad = mapQuads().back();
    const struct {
        Vec2f press;
        int32_t mode;
    } table[] = {{{50, 50}, 4}, {{32, 32}, 0}, {{68, 32}, 1}, {{68, 68}, 2},
                 {{32, 68}, 3}, {{39, 39}, 0}, {{40, 40}, 4}};
    for (const auto& row : table) {
        pickEditMode(quad, row.press);
        EXPECT_EQ(quad.editMode, row.mode) << row.press.x << "," << row.press.y;
    }
}

TEST_F(MapEditorTest, FirstPressSelectsWithoutReshapingAndPressOutsideDeselects) {
    addDefaultQuad();
    MapQuad& quad = mapQuads().back();
    EXPECT_FALSE(quad.selected);
    editorMouseDown({50, 50});
    EXPECT_TRUE(quad.selected);
    EXPECT_EQ(quad.editMode, -1);
    expectCorners(quad, {30, 30, 70, 30, 70, 70, 30, 70});
    editorMouseDown({200, 200});
    EXPECT_FALSE(quad.selected);
    EXPECT_EQ(quad.editMode, -1);
}

TEST_F(MapEditorTest, CornerDragsSnapOnRelease) {
    MapQuad& quad = grabSquareAt({68, 32});
    ASSERT_EQ(quad.editMode, 1);
    editorDrag({3, -2});
    EXPECT_EQ(quad.vertices[1].x, 73.0f);
    EXPECT_EQ(quad.vertices[1].y, 28.0f);
    editorMouseUp();
    expectCorners(quad, {32, 32, 72, 32, 72, 72, 32, 72});
    EXPECT_EQ(quad.editMode, -1);
    EXPECT_TRUE(quad.selected);
}

TEST_F(MapEditorTest, CornerDragByFiveAndOneSnapsTheSame) {
    MapQuad& quad = grabSquareAt({68, 32});
    editorDrag({5, 1});
    EXPECT_EQ(quad.vertices[1].x, 75.0f);
    EXPECT_EQ(quad.vertices[1].y, 31.0f);
    ASSERT_NE(quad.fixture, nullptr);
    editorMouseUp();
    expectCorners(quad, {32, 32, 72, 32, 72, 72, 32, 72});
}

TEST_F(MapEditorTest, CornerDraggedAcrossTheOppositeEdgeIsRefusedAndLags) {
    MapQuad& quad = grabSquareAt({32, 32});
    ASSERT_EQ(quad.editMode, 0);
    editorDrag({5, 5});
    EXPECT_EQ(quad.vertices[0].x, 35.0f);
    editorDrag({40, 15});  // to (75, 50), beyond the edge from corner 1 to corner 2
    expectCorners(quad, {35, 35, 70, 30, 70, 70, 30, 70});
    editorDrag({-40, -15});  // the refused move is lost: the corner goes on from (35, 35)
    expectCorners(quad, {-5, 20, 70, 30, 70, 70, 30, 70});
}

TEST_F(MapEditorTest, WholeQuadDragMovesCornersOnlyUntilTheNextMotionAfterRelease) {
    MapQuad& quad = grabSquareAt({50, 50});
    ASSERT_EQ(quad.editMode, 4);
    b2Fixture* fixture = quad.fixture;
    editorDrag({13, 0});
    expectCorners(quad, {43, 30, 83, 30, 83, 70, 43, 70});
    EXPECT_EQ(quadCenter(quad).x, 50.0f);
    EXPECT_EQ(quad.fixture, fixture);
    editorMouseUp();
    expectCorners(quad, {40, 32, 80, 32, 80, 72, 40, 72});
    EXPECT_EQ(quadCenter(quad).x, 50.0f);

    editorDrag({1, 1});  // mode -1: corners stay, centre and fixture catch up
    expectCorners(quad, {40, 32, 80, 32, 80, 72, 40, 72});
    EXPECT_EQ(quadCenter(quad).x, 60.0f);
    EXPECT_EQ(quadCenter(quad).y, 52.0f);
    ASSERT_NE(quad.fixture, nullptr);
    b2AABB box;
    quad.fixture->GetShape()->ComputeAABB(&box, quad.fixture->GetBody()->GetTransform(), 0);
    EXPECT_NEAR(box.lowerBound.x, 2.0f - 0.01f, 1e-4f);
    EXPECT_NEAR(box.upperBound.y, 3.6f + 0.01f, 1e-4f);
}

TEST_F(MapEditorTest, StackedSquaresAreSelectedGrabbedAndMovedTogether) {
    addDefaultQuad();
    addDefaultQuad();
    MapQuad& first = mapQuads()[0];
    MapQuad& second = mapQuads()[1];
    editorMouseDown({50, 50});
    EXPECT_TRUE(first.selected && second.selected);
    editorMouseDown({32, 68});
    EXPECT_EQ(first.editMode, 3);
    EXPECT_EQ(second.editMode, 3);
    editorDrag({-4, 6});
    expectCorners(first, {30, 30, 70, 30, 70, 70, 26, 76});
    expectCorners(second, {30, 30, 70, 30, 70, 70, 26, 76});
}

TEST_F(MapEditorTest, DisabledEditorIgnoresTheMouseButStillAddsQuads) {
    addDefaultQuad();
    MapQuad& quad = mapQuads()[0];
    setEditorEnabled(false);
    editorMouseDown({50, 50});
    editorMouseDown({50, 50});
    editorDrag({10, 10});
    editorMouseUp();
    EXPECT_FALSE(quad.selected);
    expectCorners(quad, {30, 30, 70, 30, 70, 70, 30, 70});
    addDefaultQuad();
    EXPECT_EQ(getQuadCount(), 2);

    setEditorEnabled(true);
    editorMouseDown({50, 50});
    EXPECT_TRUE(quad.selected);
}

TEST_F(MapEditorTest, DisablingKeepsSelectionAndModes) {
    MapQuad& quad = grabSquareAt({50, 50});
    setEditorEnabled(false);
    editorMouseUp();
    EXPECT_EQ(quad.editMode, 4);
    setEditorEnabled(true);
    editorMouseUp();
    EXPECT_EQ(quad.editMode, -1);
    EXPECT_TRUE(quad.selected);
}

TEST_F(MapEditorTest, SelectedQuadIsRebuiltOnEveryMotion) {
    addDefaultQuad();
    // Box2D may reuse the old fixture's memory, so mark the old fixture instead of its address.
    mapQuads()[0].fixture->SetFriction(0.7f);
    Texture* bloom = findTexture("bloomtest.png");
    addDefaultQuad();  // exactly on top: no edge of it is covered, the probes lie outside
    editorMouseDown({50, 50});
    const size_t bursts = bloom->queues.bursts.size();
    editorDrag({0, 0});
    EXPECT_FLOAT_EQ(mapQuads()[0].fixture->GetFriction(), 0.2f);
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);  // the ground and the quads' shared body
    EXPECT_EQ(bloom->queues.bursts.size(), bursts);
}

TEST_F(MapEditorTest, SnapThatWouldCollapseTheQuadKeepsTheDraggedCorners) {
    auto* quad = &registerQuad();
    setGeometry(*quad, 30, 30, 33, 30, 33, 33, 30, 33);
    ASSERT_NE(quad->fixture, nullptr);
    editorMouseDown({31.5f, 31.5f});
    editorMouseDown({31.5f, 31.5f});
    ASSERT_EQ(quad->editMode, 4);
    editorDrag({0.5f, 0.25f});
    editorMouseUp();  // every corner would land on (32, 32)
    expectCorners(*quad, {30.5f, 30.25f, 33.5f, 30.25f, 33.5f, 33.25f, 30.5f, 33.25f});
    editorDrag({0, 0});
    ASSERT_NE(quad->fixture, nullptr);
    EXPECT_TRUE(isValidBodyPolygon(quad->vertices));
    for (int i = 0; i < 10; ++i) getWorld()->Step(0.01f, 5, 6);
}

TEST_F(MapEditorTest, SnapThatWouldFoldTheQuadKeepsTheDraggedCorners) {
    // A sliver whose snap puts corners 2 and 3 on the line through 0 and 1.
    auto* quad = &registerQuad();
    setGeometry(*quad, 0, 0, 40, 0, 40, 3, 0, 3);
    editorMouseDown({20, 1.5f});
    editorMouseDown({39, 2.5f});
    ASSERT_EQ(quad->editMode, 2);
    editorDrag({0, -0.5f});
    editorMouseUp();
    expectCorners(*quad, {0, 0, 40, 0, 40, 2.5f, 0, 3});
    editorDrag({0, 0});
    EXPECT_NE(quad->fixture, nullptr);
}
