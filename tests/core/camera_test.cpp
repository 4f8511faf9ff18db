// Camera state and the window-to-world conversion.
#include <gtest/gtest.h>

#include "core/camera.h"

namespace {
void expectPoint(Vec2f actual, float x, float y) {
    EXPECT_FLOAT_EQ(actual.x, x);
    EXPECT_FLOAT_EQ(actual.y, y);
}
}  // namespace

TEST(Camera, ZeroViewSizeKeepsTheViewWhileEverythingElseChanges) {
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    setCamera(5, -7, 0, 0, 2, 3, 45);
    expectPoint(cameraPosition(), 5, -7);
    expectPoint(viewSize(), 1024, 600);
    expectPoint(zoom(), 2, 3);
    EXPECT_FLOAT_EQ(rotation(), 45);
}

TEST(Camera, AWidthAloneChangesOnlyTheWidth) {
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    setCamera(0, 0, 800, 0, 1, 1, 0);
    expectPoint(viewSize(), 800, 600);
}

TEST(Camera, DefaultWindowMapsPixelsOneToOneAroundTheCamera) {
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    setWindowSize(1024, 600);
    expectPoint(screenToWorld(512, 300), 0, 0);
    expectPoint(screenToWorld(0, 0), -512, -300);
    expectPoint(screenToWorld(1024, 600), 512, 300);
    setCamera(100, 50, 0, 0, 1, 1, 0);
    expectPoint(screenToWorld(0, 0), -412, -250);
}

TEST(Camera, ADoubleSizedWindowShowsTheSameViewStretched) {
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    setWindowSize(2048, 1200);
    expectPoint(screenToWorld(2048, 1200), 512, 300);
    expectPoint(screenToWorld(1024, 600), 0, 0);
    expectPoint(screenToWorld(0, 0), -512, -300);
}

TEST(Camera, RotationTurnsTheScreenOffsetIntoTheWorld) {
    setCamera(0, 0, 1024, 600, 1, 1, 90);
    setWindowSize(1024, 600);
    const Vec2f right = screenToWorld(612, 300);  // 100 units right of the centre on screen
    EXPECT_NEAR(right.x, 0.0f, 1e-3f);
    EXPECT_NEAR(right.y, -100.0f, 1e-3f);
}

TEST(Camera, AWindowWithNoAreaMapsEveryPixelToTheViewCentre) {
    setCamera(12, -7, 1024, 600, 1, 1, 0);
    for (const Vec2f size : {Vec2f{0, 0}, Vec2f{0, 600}, Vec2f{1024, 0}}) {
        setWindowSize(size.x, size.y);
        expectPoint(screenToWorld(300, 200), 12, -7);
        expectPoint(screenToWorld(0, 0), 12, -7);
    }
    setWindowSize(1024, 600);
}

TEST(Camera, WorldToScreenUndoesScreenToWorldThroughZoomAndRotation) {
    setWindowSize(1280, 720);
    setCamera(37, -12, 1024, 600, 2, 0.5f, 30);
    for (const Vec2f pixel : {Vec2f{0, 0}, Vec2f{640, 360}, Vec2f{1200, 15}}) {
        const Vec2f back = worldToScreen(screenToWorld(pixel.x, pixel.y));
        EXPECT_NEAR(back.x, pixel.x, 1e-3);
        EXPECT_NEAR(back.y, pixel.y, 1e-3);
    }
    setCamera(37, -12, 1024, 600, 0, 1, 0);  // nothing to see: the window's centre
    expectPoint(worldToScreen({5, 5}), 640, 360);
}
