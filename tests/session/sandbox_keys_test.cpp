// sandbox_keys_test.cpp: the sandbox and editing keys through the real input handler, on the
// headless start-up with the starter map.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "actors/actor.h"
#include "actors/box.h"
#include "actors/car.h"
#include "game/messages.h"
#include "session/headless.h"
#include "session/headless_session.h"
#include "game/host.h"
#include "game/input.h"
#include "game/sandbox.h"
#include "game/sound_state.h"
#include "game/state_hash.h"
#include "core/camera.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "physics/static_shapes.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

namespace {
class SandboxKeys : public HeadlessSession {
protected:
    static void run(int32_t ms) { replay({}, headlessTime() + ms); }
    // Moves the cursor onto a world point (camera at the origin, 1024 x 600 window).
    static void pointAt(Vec2f world) {
        const Vec2f camera = cameraPosition();
        onMouseMove(static_cast<int>(std::lround(world.x - camera.x + 512)),
                    static_cast<int>(std::lround(world.y - camera.y + 300)));
    }
    static void click() { onMouseButton(0, 0, 0, 0), onMouseButton(0, 1, 0, 0); }
    static std::string mapBytes() {
        std::ifstream in("map.txt", std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    static std::string savedBytes() {
        key('9');
        return mapBytes();
    }
    static bool showing(const std::string& text) {
        const auto messages = visibleMessages();
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }
    // The index of a quad whose centre no other quad covers, so a click selects it alone.
    static int32_t loneQuad() {
        for (int32_t i = 0; i < getQuadCount(); ++i) {
            int32_t covering = 0;
            for (const auto& quad : mapQuads()) covering += containsPoint(quad, quadCenter(getQuad(i)));
            if (covering == 1) return i;
        }
        return -1;
    }
};
}  // namespace

TEST_F(SandboxKeys, DeleteUndoAndRedoGiveBackTheExactBytesOfTheSavedMap) {
    testing::internal::CaptureStderr();
    std::string console = captureStdout([&] {
        const std::string original = savedBytes();
        EXPECT_EQ(original, mapBytes());
        const int32_t quads = getQuadCount();
        EXPECT_TRUE(showing("Saved map.txt (" + std::to_string(quads) + " quads)"));
        const int32_t target = loneQuad();
        ASSERT_GE(target, 0);
        pointAt(quadCenter(getQuad(target)));
        click();

        key(127);  // Delete
        EXPECT_EQ(getQuadCount(), quads - 1);
        const std::string deleted = savedBytes();
        EXPECT_EQ(deleted.size(), original.size() - 33);
        key(26);  // Ctrl+Z
        EXPECT_TRUE(showing("Undo: delete quad"));
        EXPECT_EQ(savedBytes(), original);
        key(25);  // Ctrl+Y
        EXPECT_TRUE(showing("Redo: delete quad"));
        EXPECT_EQ(savedBytes(), deleted);
        key(26);
        EXPECT_EQ(savedBytes(), original);
        key(8);  // Backspace: the undo gave back the selection, so it deletes the same quad
        EXPECT_EQ(savedBytes(), deleted);

        key('6');  // editor off: Delete does nothing
        key(26);
        key(127);
        EXPECT_EQ(savedBytes(), original);
        key(25), key(25), key(25);
        EXPECT_TRUE(showing("Nothing to redo"));
    });
    EXPECT_EQ(console, "") << "new keys must not write to standard output";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // A failed save says why, on screen and on standard error, and leaves map.txt alone.
    fs::create_directory("map.txt.tmp");
    testing::internal::CaptureStderr();
    console = captureStdout([] { key('9'); });
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(console, "");
    EXPECT_EQ(errors, "Map not saved: cannot create map.txt.tmp: Is a directory\n");  // one line
    EXPECT_TRUE(showing("Save failed: cannot create map.txt.tmp: Is a directory"));
}

TEST_F(SandboxKeys, UndoRestoresADragAndAReloadBitForBit) {
    const int32_t target = loneQuad();
    ASSERT_GE(target, 0);
    const MapQuad& quad = getQuad(target);
    const Vec2f corner = quad.vertices[2];
    const Vec2f grab = {quadCenter(quad).x * 0.15f + corner.x * 0.85f, quadCenter(quad).y * 0.15f + corner.y * 0.85f};
    pointAt(grab);
    click();
    const MapSnapshot before = snapshotMap();
    onMouseButton(0, 0, 0, 0);
    for (int i = 1; i <= 5; ++i) onMouseMove(static_cast<int>(grab.x) + 512 + 3 * i, static_cast<int>(grab.y) + 300 + i);
    onMouseButton(0, 1, 0, 0);
    const MapSnapshot dragged = snapshotMap();
    ASSERT_FALSE(sameGeometry(before, dragged));
    key(26);
    EXPECT_TRUE(showing("Undo: move corner"));
    EXPECT_TRUE(sameGeometry(snapshotMap(), before));
    key(25);
    EXPECT_TRUE(sameGeometry(snapshotMap(), dragged));

    // A reload replaces that map with the file's; undo brings the dragged one back.
    const std::string console = captureStdout([] { key('7'); });
    EXPECT_EQ(console.rfind("Loading map.txt\nFile exist\n", 0), 0u);
    EXPECT_TRUE(sameGeometry(snapshotMap(), before));
    key(26);
    EXPECT_TRUE(showing("Undo: reload map.txt"));
    EXPECT_TRUE(sameGeometry(snapshotMap(), dragged));
    for (const auto& q : mapQuads()) {
        EXPECT_TRUE(q.fixture == nullptr || q.fixture->GetBody()->GetWorld() == getWorld());
    }
}

TEST_F(SandboxKeys, NPutsASnappedSquareWhereTheMousePointsUndoably) {
    const int32_t quads = getQuadCount();
    for (const Vec2f at : {Vec2f{-300.0f, -200.0f}, Vec2f{123.4f, -57.0f}, Vec2f{0.0f, 0.0f}}) {
        setCamera(at.x * 2, 40, 1024, 600, 1, 1, 0);  // wherever the camera looks
        pointAt(at);
        key('n');
        const MapQuad& added = mapQuads().back();
        EXPECT_TRUE(containsPoint(added, mouseWorld())) << at.x;
        EXPECT_NEAR(quadCenter(added).x, mouseWorld().x, 4.0f);
        EXPECT_NEAR(quadCenter(added).y, mouseWorld().y, 4.0f);
        EXPECT_EQ(added.vertices[2].x - added.vertices[0].x, 40.0f);
        EXPECT_EQ(added.vertices[2].y - added.vertices[0].y, 40.0f);
        for (const Vec2f v : added.vertices) {
            EXPECT_EQ(std::fmod(v.x, 8.0f), 0.0f);
            EXPECT_EQ(std::fmod(v.y, 8.0f), 0.0f);
        }
        EXPECT_NE(added.fixture, nullptr);
    }
    EXPECT_EQ(getQuadCount(), quads + 3);
    key(26);
    EXPECT_TRUE(showing("Undo: add quad"));
    EXPECT_EQ(getQuadCount(), quads + 2);
}

TEST_F(SandboxKeys, PauseHoldsAFallingBoxStillAndDotRunsExactlyOneStep) {
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    Box* box = nullptr;
    captureStdout([&] { box = spawnActor<Box>(0.0f, -250.0f); });
    run(200);
    ASSERT_GT(box->body->GetLinearVelocity().y, 0.0f);  // falling
    key('0');
    EXPECT_TRUE(showing("Paused"));
    const float y = box->y;
    const b2Vec2 body = box->body->GetPosition();
    const int32_t age = box->age;
    onKeyDown('d', 0, 0);  // the free camera still scrolls
    run(1000);
    onKeyUp('d', 0, 0);
    EXPECT_EQ(box->y, y);
    EXPECT_EQ(box->body->GetPosition().y, body.y);
    EXPECT_EQ(box->age, age);
    EXPECT_GT(cameraPosition().x, 150.0f);

    key('.');
    run(10);
    const float stepped = box->y;
    EXPECT_GT(stepped, y);
    EXPECT_EQ(box->age, age + 1);
    run(500);
    EXPECT_EQ(box->y, stepped);
    EXPECT_EQ(box->age, age + 1);

    key('0');
    EXPECT_TRUE(showing("Resumed"));
    run(50);
    EXPECT_GT(box->y, stepped);
}

TEST_F(SandboxKeys, ClearRemovesEveryActorAndFreesTheCamera) {
    captureStdout([] {
        pointAt({100, -150});
        onKeyDown(' ', 0, 0);
        run(1500);
        onKeyUp(' ', 0, 0);
        key('1');
        run(300);
    });
    const int32_t boxes = static_cast<int32_t>(allActors().size()) - 1;
    ASSERT_GT(boxes, 1);
    const Vec2f held = cameraPosition();
    onKeyDown('d', 0, 0);
    captureStdout([] { run(100); });
    EXPECT_LT(std::fabs(cameraPosition().x - held.x), 20.0f);  // the car holds the camera

    key('c');
    EXPECT_TRUE(allActors().empty());
    EXPECT_TRUE(showing("Cleared " + std::to_string(boxes) + " boxes, 1 car"));
    EXPECT_EQ(getWorld()->GetBodyCount(), static_cast<int32_t>(staticShapeBodies().size()) + 1);
    const Vec2f freed = cameraPosition();
    EXPECT_EQ(captureStdout([] { run(100); }), "");
    onKeyUp('d', 0, 0);
    EXPECT_FLOAT_EQ(cameraPosition().x, freed.x + 20.0f);  // ten steps of 2 units
}

namespace {
int leaveRequests = 0;
}

TEST_F(SandboxKeys, EscWhoseSaveFailsPlaysOnAndSaysSoUntilASecondEsc) {
    Host counting = host();
    counting.window.leaveMainLoop = [] { ++leaveRequests; };
    const ScopedHost counted(counting);
    leaveRequests = 0;
    // A folder where map.txt was: the save fails as on a full disk, before anything is changed.
    fs::remove("map.txt");
    fs::create_directory("map.txt");
    const std::string warning =
        "Map not saved: cannot replace map.txt: not a regular file (press Esc again to quit without saving)";
    testing::internal::CaptureStderr();
    key(27);
    EXPECT_EQ(leaveRequests, 0);
    EXPECT_TRUE(showing(warning));
    run(kMessageMs + 100);  // the warning has gone: Esc tries to save again
    key(27);
    EXPECT_EQ(leaveRequests, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Map not saved: cannot replace map.txt: not a regular file\n"
              "Map not saved: cannot replace map.txt: not a regular file\n");
    run(100);
    key(27);  // while it shows: quit without saving
    EXPECT_EQ(leaveRequests, 1);
    EXPECT_TRUE(fs::is_directory("map.txt"));

    // Once the warning has gone, a save that works quits at the first Esc.
    fs::remove("map.txt");
    run(kMessageMs + 100);
    key(27);
    EXPECT_EQ(leaveRequests, 2);
    EXPECT_TRUE(fs::is_regular_file("map.txt"));
}

TEST_F(SandboxKeys, CarsStopAtTheirLimitWithAMessage) {
    testing::internal::CaptureStderr();
    captureStdout([] {
        for (int i = 0; i < 60; ++i) key('1');
    });
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(countOfKind(countSandbox().actors, "car"), 50);
    EXPECT_TRUE(showing("No car dropped: 50 cars is the limit"));
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 10) << err;
    key('c');
    captureStdout([] { key('1'); });
    EXPECT_EQ(countOfKind(countSandbox().actors, "car"), 1);
}

TEST_F(SandboxKeys, MSwitchesSoundOffAndOnAndTheGameRunsTheSameEitherWay) {
    // A crate falls and lands; the second time with the sound switched off on the way.
    uint64_t hashes[2] = {};
    for (int muted = 0; muted < 2; ++muted) {
        if (muted) {
            stopHeadless();
            captureStdout(startHeadless);
        }
        captureStdout([&] {
            pointAt({100, -150});
            onKeyDown(' ', 0, 0);
            run(300);
            onKeyUp(' ', 0, 0);
            if (muted) key('m');
            run(2000);
        });
        hashes[muted] = stateHash();
    }
    EXPECT_EQ(hashes[0], hashes[1]);
    EXPECT_TRUE(soundMuted());
    key('m');
    EXPECT_FALSE(soundMuted());
    EXPECT_TRUE(showing("Sound on"));
    key('m');
    EXPECT_TRUE(soundMuted());
    EXPECT_TRUE(showing("Sound off"));
}
