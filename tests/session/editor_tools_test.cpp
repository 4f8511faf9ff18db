// editor_tools_test.cpp: zoom, pan, handles, refusals, copy and paste and box select, all through
// the real input handler on the headless start-up with the starter map.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/camera.h"
#include "game/input.h"
#include "game/messages.h"
#include "game/sandbox.h"
#include "game/view_control.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "session/headless.h"
#include "session/headless_session.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

namespace {
constexpr int kWheelUp = 3, kWheelDown = 4, kMiddle = 1, kHome = 106;

class EditorTools : public HeadlessSession {
protected:
    static void press(int button, int x, int y) { onMouseButton(button, 0, x, y); }
    static void release(int button, int x, int y) { onMouseButton(button, 1, x, y); }
    // The window pixel (fractions allowed by rounding) showing a world point at the current view.
    static void pointAt(Vec2f world) {
        const Vec2f camera = cameraPosition();
        const float z = zoom().x;
        onMouseMove(static_cast<int>(std::lround((world.x - camera.x) * z + 512)),
                    static_cast<int>(std::lround((world.y - camera.y) * z + 300)));
    }
    static void click() { press(0, 0, 0), release(0, 0, 0); }
    static std::string savedBytes() {
        key('9');
        std::ifstream in("map.txt", std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    static bool showing(const std::string& text) {
        const auto messages = visibleMessages();
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }
    static void emptyMap() {
        clearMapQuads(true);
        clearMapHistory();
    }
    // Quads whose centres no other quad covers, so a click there takes them alone.
    static std::vector<int32_t> loneQuads() {
        std::vector<int32_t> lone;
        for (int32_t i = 0; i < getQuadCount(); ++i) {
            int32_t covering = 0;
            for (const auto& quad : mapQuads()) covering += containsPoint(quad, quadCenter(getQuad(i)));
            if (covering == 1) lone.push_back(i);
        }
        return lone;
    }
    static MapQuad& square(float x, float y, float side) {
        return createQuad(x, y, x + side, y, x + side, y + side, x, y + side);
    }
};

std::vector<int32_t> selectedIndices() {
    std::vector<int32_t> selected;
    for (int32_t i = 0; i < getQuadCount(); ++i)
        if (getQuad(i).selected) selected.push_back(i);
    return selected;
}
}  // namespace

TEST_F(EditorTools, WheelZoomKeepsThePointUnderTheCursorAndRoundTrips) {
    std::mt19937 gen(5);
    std::uniform_int_distribution<int> px(0, 1023), py(0, 599), notches(1, 14);
    for (int trial = 0; trial < 60; ++trial) {
        setCamera(static_cast<float>(px(gen) - 512) * 3, static_cast<float>(py(gen) - 300) * 3, 0, 0, 1, 1, 0);
        const Vec2f start = cameraPosition();
        const int x = px(gen), y = py(gen), n = notches(gen);
        const Vec2f anchor = screenToWorld(static_cast<float>(x), static_cast<float>(y));
        const int direction = trial % 2 == 0 ? kWheelUp : kWheelDown;
        for (int i = 0; i < n; ++i) {
            press(direction, x, y), release(direction, x, y);
            // Where the world transform draws the anchor now: zoom * (anchor - camera) from the
            // centre of the 1024 x 600 window, one pixel per view unit.
            const Vec2f camera = cameraPosition();
            ASSERT_NEAR((anchor.x - camera.x) * zoom().x + 512, x, 0.01f) << trial;
            ASSERT_NEAR((anchor.y - camera.y) * zoom().y + 300, y, 0.01f) << trial;
            // And the mouse maps back onto it.
            onMouseMove(x, y);
            ASSERT_NEAR(mouseWorld().x, anchor.x, 0.01f) << trial;
            ASSERT_NEAR(mouseWorld().y, anchor.y, 0.01f) << trial;
        }
        // Clamped between one eighth and four times.
        EXPECT_EQ(zoom().x, zoomAtLevel(direction == kWheelUp ? std::min(n, 8) : std::max(-n, -12)));
        EXPECT_EQ(zoom().x, zoom().y);
        const int back = direction == kWheelUp ? std::min(n, 8) : std::min(n, 12);
        for (int i = 0; i < back; ++i) press(direction == kWheelUp ? kWheelDown : kWheelUp, x, y);
        EXPECT_EQ(zoom().x, 1.0f);
        EXPECT_NEAR(cameraPosition().x, start.x, 0.01f);
        EXPECT_NEAR(cameraPosition().y, start.y, 0.01f);
    }
}

TEST_F(EditorTools, MiddleDragPansWithoutEditingAndHomeGivesBackTheStartView) {
    const int32_t target = 0;
    pointAt(quadCenter(getQuad(target)));
    click();  // selected: a drag of it would now move it
    const MapSnapshot before = snapshotMap();
    press(kWheelUp, 200, 100);
    press(kWheelUp, 200, 100);
    const Vec2f grabbed = screenToWorld(300, 200);
    press(kMiddle, 300, 200);
    for (int i = 1; i <= 10; ++i) onMouseMove(300 + 23 * i, 200 - 7 * i);
    // The world transform draws the grabbed point under the cursor.
    EXPECT_NEAR((grabbed.x - cameraPosition().x) * zoom().x + 512, 530, 0.01f);
    EXPECT_NEAR((grabbed.y - cameraPosition().y) * zoom().y + 300, 130, 0.01f);
    release(kMiddle, 530, 130);
    EXPECT_TRUE(sameGeometry(snapshotMap(), before));
    EXPECT_NEAR(mouseWorld().x, grabbed.x, 0.01f);
    onSpecialKey(kHome, 0, 0);
    EXPECT_EQ(cameraPosition().x, 0.0f);
    EXPECT_EQ(cameraPosition().y, 0.0f);
    EXPECT_EQ(zoom().x, 1.0f);
    // Held keys keep scrolling at the same pace on screen, and the zoom stays while they do.
    press(kWheelDown, 512, 300);
    press(kWheelDown, 512, 300);
    press(kWheelDown, 512, 300);
    press(kWheelDown, 512, 300);
    onKeyDown('d', 0, 0);
    replay({}, headlessTime() + 100);
    onKeyUp('d', 0, 0);
    EXPECT_EQ(zoom().x, 0.5f);
    EXPECT_NEAR(cameraPosition().x, 40.0f, 4.0f);  // 2 units a step, doubled at half zoom
    // A car takes the camera and the zoom stays.
    captureStdout([] {
        key('1');
        replay({}, headlessTime() + 100);
    });
    EXPECT_EQ(zoom().x, 0.5f);
    EXPECT_NEAR(cameraPosition().x, spawnPoint().x, 60.0f);
}

TEST_F(EditorTools, APressOnAHandleGrabsItsCornerAlsoJustOutsideTheQuadAtAnyZoom) {
    emptyMap();
    for (const int notches : {0, 4, -4}) {  // zoom 1, 2 and 0.5
        onSpecialKey(kHome, 0, 0);
        for (int i = 0; i < std::abs(notches); ++i) press(notches > 0 ? kWheelUp : kWheelDown, 512, 300);
        clearMapQuads(true);
        square(30, 30, 40);
        const float pixel = 1.0f / zoom().x;
        for (int corner = 0; corner < 4; ++corner) {
            const Vec2f c = getQuad(0).vertices[corner];
            const Vec2f outward = {c.x < 50 ? -1.0f : 1.0f, c.y < 50 ? -1.0f : 1.0f};
            pointAt({50, 50});
            click();  // selected
            ASSERT_TRUE(getQuad(0).selected);
            // Four pixels outside the corner, diagonally: outside the quad, on the drawn handle.
            pointAt({c.x + outward.x * 4 * pixel, c.y + outward.y * 4 * pixel});
            ASSERT_FALSE(containsPoint(getQuad(0), mouseWorld()));
            press(0, 0, 0);
            EXPECT_EQ(getQuad(0).editMode, corner) << "zoom " << zoom().x;
            EXPECT_TRUE(getQuad(0).selected);
            release(0, 0, 0);
            // Ten pixels out is off the handle: the press deselects, as any press outside does.
            click();
            pointAt({c.x + outward.x * 10 * pixel, c.y + outward.y * 10 * pixel});
            press(0, 0, 0);
            EXPECT_FALSE(getQuad(0).selected);
            release(0, 0, 0);
        }
    }
}

TEST_F(EditorTools, ARefusedDragKeepsTheCornersBitForBitAndSaysWhy) {
    emptyMap();
    square(30, 30, 40);
    pointAt({50, 50});
    click();
    pointAt({33, 33});
    press(0, 0, 0);  // corner 0
    ASSERT_EQ(getQuad(0).editMode, 0);
    pointAt({36, 35});  // fine: corner 0 to (33, 32)
    const MapSnapshot kept = snapshotMap();
    EXPECT_TRUE(visibleMessages().empty());
    pointAt({60, 60});  // corner 0 into the quad: a dent
    EXPECT_TRUE(sameGeometry(snapshotMap(), kept));
    EXPECT_TRUE(showing("Not convex: corner kept"));
    pointAt({150, 120});  // past the far corner: every turn the wrong way round would fold it
    EXPECT_TRUE(sameGeometry(snapshotMap(), kept));
    release(0, 0, 0);
    EXPECT_EQ(getQuad(0).vertices[0].x, 32.0f);  // the snap of the last accepted place
}

TEST_F(EditorTools, CopyPasteAndDuplicateUndoAndRedoGiveBackTheExactBytes) {
    testing::internal::CaptureStderr();
    const std::string console = captureStdout([&] {
        const std::string original = savedBytes();
        const int32_t quads = getQuadCount();
        key(3);  // Ctrl+C with nothing selected
        EXPECT_TRUE(showing("Nothing selected: click a quad first"));
        key(22);
        EXPECT_TRUE(showing("Nothing copied: Ctrl+C copies the selected quads"));
        EXPECT_EQ(savedBytes(), original);

        // Shift+clicks select two quads, which Ctrl+C copies.
        const std::vector<int32_t> lone = loneQuads();
        ASSERT_GE(lone.size(), 2u);
        onModifiers(kShiftModifier);
        for (const int32_t i : {lone[0], lone[1]}) {
            pointAt(quadCenter(getQuad(i)));
            click();
        }
        onModifiers(0);
        const std::vector<int32_t> picked = selectedIndices();
        ASSERT_EQ(picked, (std::vector<int32_t>{lone[0], lone[1]}));
        key(3);
        EXPECT_TRUE(showing("Copied " + std::to_string(picked.size()) +
                            (picked.size() == 1 ? " quad" : " quads")));

        pointAt({203, -97});
        key(22);  // pasted, centred at the cursor by whole grid steps
        const auto n = static_cast<int32_t>(picked.size());
        ASSERT_EQ(getQuadCount(), quads + n);
        for (int32_t i = 0; i < n; ++i) {
            const MapQuad& copy = getQuad(quads + i);
            const MapQuad& source = getQuad(picked[static_cast<size_t>(i)]);
            EXPECT_TRUE(copy.selected);
            EXPECT_FALSE(source.selected);
            const float dx = copy.vertices[0].x - source.vertices[0].x;
            EXPECT_EQ(std::fmod(dx, 8.0f), 0.0f);
            for (int k = 0; k < 4; ++k) EXPECT_EQ(copy.vertices[k].x - source.vertices[k].x, dx);
        }
        const std::string pasted = savedBytes();
        key(4);  // Ctrl+D: the pasted copies again, one step right and down
        ASSERT_EQ(getQuadCount(), quads + 2 * n);
        EXPECT_EQ(getQuad(quads + n).vertices[1].x, getQuad(quads).vertices[1].x + 8.0f);
        EXPECT_EQ(getQuad(quads + n).vertices[1].y, getQuad(quads).vertices[1].y + 8.0f);
        const std::string duplicated = savedBytes();

        key(26);
        EXPECT_TRUE(showing(n == 1 ? "Undo: duplicate quad" : "Undo: duplicate " + std::to_string(n) + " quads"));
        EXPECT_EQ(savedBytes(), pasted);
        key(26);
        EXPECT_EQ(savedBytes(), original);
        key(25);
        EXPECT_EQ(savedBytes(), pasted);
        key(25);
        EXPECT_EQ(savedBytes(), duplicated);
        key('6');  // the editor off: the keys say so and change nothing
        key(22);
        EXPECT_TRUE(showing("Editor is off: 5 turns it on"));
        EXPECT_EQ(savedBytes(), duplicated);
    });
    EXPECT_EQ(console, "") << "the new keys print nothing";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

namespace {
// A plain, different test of touching: a corner of either inside the other (edges included), or
// an edge of the quad crossing an edge of the box.
bool insideQuadClosed(const Vec2f v[4], Vec2f p) {
    for (int k = 0; k < 4; ++k) {
        const Vec2f a = v[k], b = v[(k + 1) % 4];
        const double cross = static_cast<double>(b.x - a.x) * (p.y - a.y) - static_cast<double>(b.y - a.y) * (p.x - a.x);
        if (cross < 0) return false;  // numerically counter-clockwise: inside is on the left
    }
    return true;
}
bool segmentsCross(Vec2f a, Vec2f b, Vec2f c, Vec2f d) {
    auto side = [](Vec2f p, Vec2f q, Vec2f r) {
        const double s = static_cast<double>(q.x - p.x) * (r.y - p.y) - static_cast<double>(q.y - p.y) * (r.x - p.x);
        return (s > 0) - (s < 0);
    };
    return side(a, b, c) * side(a, b, d) <= 0 && side(c, d, a) * side(c, d, b) <= 0;
}
bool touchesByScan(const MapQuad& quad, Vec2f low, Vec2f high) {
    const Vec2f box[4] = {low, {high.x, low.y}, high, {low.x, high.y}};
    for (const Vec2f v : quad.vertices)
        if (v.x >= low.x && v.x <= high.x && v.y >= low.y && v.y <= high.y) return true;
    for (const Vec2f b : box)
        if (insideQuadClosed(quad.vertices, b)) return true;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (segmentsCross(quad.vertices[i], quad.vertices[(i + 1) % 4], box[j], box[(j + 1) % 4])) return true;
    return false;
}
}  // namespace

TEST_F(EditorTools, ARubberBandSelectsExactlyTheQuadsItTouches) {
    std::mt19937 gen(23);
    auto uniform = [&gen](float low, float high) { return std::uniform_real_distribution<float>(low, high)(gen); };
    int bands = 0, touchedTotal = 0;
    for (int map = 0; map < 40; ++map) {
        clearMapQuads(true);
        for (int i = 0, n = static_cast<int>(gen() % 40); i < n; ++i) {
            const float cx = uniform(-480, 480), cy = uniform(-280, 280), r = uniform(4, 90), a = uniform(0, 6.28f);
            const float stretch = uniform(0.3f, 1.0f);
            // Four points on an ellipse in increasing angle: convex and wound the way the map wants.
            float angles[4] = {a, a + uniform(0.3f, 1.5f), 0, 0};
            angles[2] = angles[1] + uniform(0.3f, 1.5f);
            angles[3] = angles[2] + uniform(0.3f, std::min(1.5f, a + 6.2f - angles[2]));
            Vec2f v[4];
            for (int k = 0; k < 4; ++k)
                v[k] = {cx + r * std::cos(angles[k]), cy + r * stretch * std::sin(angles[k])};
            createQuad(v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y, v[3].x, v[3].y);
        }
        const int fromX = static_cast<int>(gen() % 1024), fromY = static_cast<int>(gen() % 600);
        const Vec2f from = screenToWorld(static_cast<float>(fromX), static_cast<float>(fromY));
        onMouseMove(fromX, fromY);
        click();  // a plain click: nothing selected afterwards but what it hit
        const std::vector<int32_t> before = selectedIndices();
        onModifiers(kShiftModifier);
        press(0, fromX, fromY);
        const int toX = static_cast<int>(gen() % 1024), toY = static_cast<int>(gen() % 600);
        onMouseMove((fromX + toX) / 2, (fromY + toY) / 2);
        onMouseMove(toX, toY);
        release(0, toX, toY);
        onModifiers(0);
        if (std::any_of(mapQuads().begin(), mapQuads().end(), [&](const auto& q) { return containsPoint(q, from); }))
            continue;  // a Shift press on a quad toggles it instead; tested below
        ++bands;
        const Vec2f to = screenToWorld(static_cast<float>(toX), static_cast<float>(toY));
        const Vec2f low = {std::min(from.x, to.x), std::min(from.y, to.y)};
        const Vec2f high = {std::max(from.x, to.x), std::max(from.y, to.y)};
        for (int32_t i = 0; i < getQuadCount(); ++i) {
            const bool expected = touchesByScan(getQuad(i), low, high) ||
                                  std::binary_search(before.begin(), before.end(), i);
            touchedTotal += expected;
            ASSERT_EQ(getQuad(i).selected, expected) << "map " << map << " quad " << i;
        }
    }
    EXPECT_GT(bands, 20);
    EXPECT_GT(touchedTotal, 50);

    // Shift+click adds the topmost quad under it, and a second one takes it away again.
    clearMapQuads(true);
    square(0, 0, 40), square(20, 20, 40);
    onModifiers(kShiftModifier);
    pointAt({30, 30});
    click();
    EXPECT_EQ(selectedIndices(), std::vector<int32_t>{1});
    pointAt({5, 5});
    click();
    EXPECT_EQ(selectedIndices(), (std::vector<int32_t>{0, 1}));
    pointAt({30, 30});
    click();
    EXPECT_EQ(selectedIndices(), std::vector<int32_t>{0});
    onModifiers(0);
}
