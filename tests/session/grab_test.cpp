// grab_test.cpp: the right mouse button holding, dragging and throwing bodies, through the real
// input handlers on the headless start-up with the starter map.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "actors/actor.h"
#include "actors/box.h"
#include "core/camera.h"
#include "game/grab.h"
#include "game/input.h"
#include "game/state_hash.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "session/headless.h"
#include "session/headless_session.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

namespace {

// What is wrong with the grabs, "" when they are sound.
std::string grabFault() {
    std::string why;
    grabsSound(why);
    return why;
}
constexpr int kRight = 2;

class Grab : public HeadlessSession {
protected:
    void TearDown() override {
        EXPECT_EQ(grabFault(), "");
        HeadlessSession::TearDown();
    }
    static void run(int32_t ms) { captureStdout([ms] { replay({}, headlessTime() + ms); }); }
    // The cursor onto a world point (camera at the origin, 1024 x 600 window).
    static void pointAt(Vec2f world) {
        onMouseMove(static_cast<int>(std::lround(world.x + 512)), static_cast<int>(std::lround(world.y + 300)));
    }
    // A crate in the open sky over the starter map, the cursor on its centre.
    static Box* crateAt(Vec2f at) {
        Box* box = nullptr;
        captureStdout([&] { box = spawnActor<Box>(at.x, at.y); });
        pointAt(at);
        return box;
    }
    static Vec2f unitsOf(const b2Vec2& metres) { return {toUnits(metres.x), toUnits(metres.y)}; }
};
}  // namespace

TEST_F(Grab, AHeldCrateFollowsTheCursorAndAFlickThrowsItWithTheVelocityItHas) {
    Box* box = crateAt({60, -150});
    onMouseButton(kRight, 0, 0, 0);
    ASSERT_TRUE(grabHeld());
    EXPECT_EQ(getWorld()->GetJointCount(), 1);
    pointAt({100, -200});
    run(100);  // ten steps: most of the way there
    const Vec2f early = unitsOf(box->body->GetPosition());
    EXPECT_LT(std::hypot(early.x - 100, early.y + 200), 20.0f);
    run(400);  // settled under the cursor, sagging a little with the gravity
    const Vec2f settled = unitsOf(box->body->GetPosition());
    EXPECT_NEAR(settled.x, 100.0f, 1.0f);
    EXPECT_NEAR(settled.y, -200.0f, 3.0f);
    EXPECT_NEAR(grabLine().target.x, 100.0f, 1e-3f);
    EXPECT_NEAR(grabLine().anchor.x, settled.x, 1e-3f);

    // A flick to the left, let go in the middle of it.
    for (int i = 1; i <= 5; ++i) {
        pointAt({100.0f - 30.0f * i, -200});
        run(10);
    }
    const b2Vec2 flung = box->body->GetLinearVelocity();
    EXPECT_LT(flung.x, -10.0f) << "metres per second";
    onMouseButton(kRight, 1, 0, 0);
    EXPECT_FALSE(grabHeld());
    EXPECT_EQ(getWorld()->GetJointCount(), 0);
    EXPECT_EQ(box->body->GetLinearVelocity(), flung);
    const float x = box->body->GetPosition().x;
    run(10);  // free flight: the horizontal velocity carries on unchanged
    EXPECT_FLOAT_EQ(box->body->GetLinearVelocity().x, flung.x);
    EXPECT_NEAR(box->body->GetPosition().x - x, flung.x * 0.01f, 1e-4f);
}

TEST_F(Grab, EmptySkyTheGroundAndMapQuadsAreNeverGrabbed) {
    const uint64_t before = stateHash();
    for (const Vec2f at : {Vec2f{60, -150}, quadCenter(getQuad(0)), quadCenter(getQuad(8)), Vec2f{640, 780}}) {
        setCamera(0, 0, 1024, 600, 1, 1, 0);
        pointAt(at);
        onMouseButton(kRight, 0, 0, 0);
        EXPECT_FALSE(grabHeld()) << at.x << " " << at.y;
        onMouseButton(kRight, 1, 0, 0);
    }
    EXPECT_EQ(getWorld()->GetJointCount(), 0);
    pointAt({0, 0});  // where the cursor was: the failed grabs left no trace
    EXPECT_EQ(stateHash(), before);
}

TEST_F(Grab, DeathClearReloadAndPauseEachLetGoLeavingNoJoint) {
    const char* ways[] = {"death", "clear", "reload", "pause"};
    for (const char* way : ways) {
        SCOPED_TRACE(way);
        Box* box = crateAt({60, -150});
        onMouseButton(kRight, 0, 0, 0);
        ASSERT_TRUE(grabHeld());
        pointAt({80, -180});
        run(50);
        const std::string w = way;
        if (w == "death") {
            box->lifetime = box->age + 3;  // dies within the next steps while still held
            run(50);
            EXPECT_TRUE(std::none_of(allActors().begin(), allActors().end(),
                                     [box](const auto& a) { return a.get() == box; }));
        } else if (w == "clear") {
            key('c');
        } else if (w == "reload") {
            captureStdout([] { key('7'); });
            EXPECT_EQ(box->body->GetWorld(), getWorld());
        } else {
            key('0');
        }
        EXPECT_FALSE(grabHeld());
        EXPECT_EQ(getWorld()->GetJointCount(), 0);
        EXPECT_EQ(grabFault(), "");
        const bool alive = w == "reload" || w == "pause";
        const float letGo = alive ? box->body->GetLinearVelocity().y : 0.0f;
        pointAt({200, -250});  // moves and a release find nothing to pull
        onMouseButton(kRight, 1, 0, 0);
        if (w == "pause") key('0');
        run(200);
        if (alive) {
            // Free flight: 20 steps of gravity alone, 55 m/s^2, and no pull.
            EXPECT_NEAR(box->body->GetLinearVelocity().y - letGo, 55.0f * 0.2f, 0.05f);
        }
        key('c');
    }
}

TEST_F(Grab, AGrabMadeWhilePausedWaitsForTheNextStepAndCountsInTheHash) {
    Box* box = crateAt({60, -150});
    key('0');
    const uint64_t free = stateHash();
    onMouseButton(kRight, 0, 0, 0);
    ASSERT_TRUE(grabHeld());
    const uint64_t held = stateHash();
    EXPECT_NE(held, free);
    onMouseButton(kRight, 1, 0, 0);
    EXPECT_EQ(stateHash(), free) << "a released grab leaves nothing in the hash";
    onMouseButton(kRight, 0, 0, 0);
    EXPECT_EQ(stateHash(), held);

    pointAt({200, -150});
    const b2Vec2 still = box->body->GetPosition();
    run(300);
    EXPECT_EQ(box->body->GetPosition(), still);
    key('.');
    run(10);
    EXPECT_GT(box->body->GetPosition().x, still.x);  // one step toward the cursor
    key('0');
    run(500);
    EXPECT_NEAR(toUnits(box->body->GetPosition().x), 200.0f, 1.0f);
}
