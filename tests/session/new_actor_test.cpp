// new_actor_test.cpp: a new actor kind is this one file's class and its registration: with no
// other edit it is hashed, counted, cleared by the c key and replayed.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actors/body_actor.h"
#include "actors/box.h"
#include "core/units.h"
#include "game/help_state.h"
#include "game/input.h"
#include "game/messages.h"
#include "game/sandbox.h"
#include "game/state_hash.h"
#include "session/headless.h"
#include "support/gl_window.h"

namespace {

const ActorKind kPebbleKind = {"pebble", "pebbles", kSharedBodyKindTag, false};
const ActorKindRegistration kPebbleRegistered(kPebbleKind);

// Built like a box (same body, friction and lifetime), so that only its kind tells it apart.
class Pebble final : public BodyActor {
public:
    Pebble(float startX, float startY) : BodyActor(startX, startY, 0.8f, 0.8f, 0.9f) { lifetime = 2400; }
    const ActorKind& kind() const override { return kPebbleKind; }
    void postStep() override {
        x = toUnits(body->GetPosition().x);
        y = toUnits(body->GetPosition().y);
        angle = toDegrees(body->GetAngle());
    }
};

// The state hash of a headless game on an empty map with one actor of type T dropped at
// (100, -100) and, for runMs, boxes raining at the cursor beside it.
template <class T>
uint64_t hashAfterDropping(int32_t runMs) {
    captureStdout(startHeadless);
    captureStdout([] { spawnActor<T>(100.0f, -100.0f); });
    const std::vector<InputEvent> events = {{0, InputEvent::Kind::Move, 640, 200},
                                            {100, InputEvent::Kind::KeyDown, ' ', 0},
                                            {runMs / 2, InputEvent::Kind::KeyUp, ' ', 0}};
    if (runMs > 0) captureStdout([&events, runMs] { replay(events, runMs); });
    const uint64_t hash = stateHash();
    stopHeadless();
    return hash;
}

}  // namespace

TEST(NewActorKind, IsHashedAndReplaysTheSame) {
    // Just dropped, a pebble and a box differ in nothing but their kind.
    EXPECT_NE(hashAfterDropping<Pebble>(0), hashAfterDropping<Box>(0));
    const uint64_t played = hashAfterDropping<Pebble>(3000);
    EXPECT_NE(played, hashAfterDropping<Pebble>(0));  // it fell: its state is in the hash
    EXPECT_EQ(hashAfterDropping<Pebble>(3000), played);  // the same run, the same hash
}

TEST(NewActorKind, IsCountedAndClearedByTheCKey) {
    captureStdout(startHeadless);
    captureStdout([] {
        spawnActor<Pebble>(100.0f, -100.0f);
        spawnActor<Pebble>(200.0f, -100.0f);
        spawnActor<Box>(300.0f, -100.0f);
    });
    EXPECT_EQ(countOfKind(countSandbox().actors, "pebble"), 2);
    EXPECT_EQ(helpStatusLines(countSandbox(), false, false)[1],
              "Quads: 0 (0 selected)    Boxes: 1    Cars: 0    Pebbles: 2");
    onKeyDown('c', 0, 0);
    ASSERT_FALSE(visibleMessages().empty());
    EXPECT_EQ(visibleMessages().back(), "Cleared 1 box, 0 cars, 2 pebbles");
    EXPECT_EQ(countOfKind(countSandbox().actors, "pebble"), 0);
    EXPECT_TRUE(allActors().empty());
    stopHeadless();
}
