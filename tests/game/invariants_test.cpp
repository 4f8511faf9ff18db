// invariants_test.cpp: each whole-state invariant, broken on purpose, is named; a Debug build
// aborts with one line on standard error when a step or a forced check finds one broken.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actors/box.h"
#include "game/invariants.h"
#include "game/main_loop.h"
#include "map/map_invariants.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {

// The first broken invariant of the whole game, "" when all hold.
std::string brokenInvariant() {
    std::string why;
    gameInvariantsHold(InvariantScope::Whole, why);
    return why;
}

// Two quads, a box, the ground: a sound game.
Box* buildSoundGame() {
    captureStdout([] { loadAllTextures(loadNoImage); });
    createWorld();
    createQuad(0, 0, 100, 0, 100, 50, 0, 50);
    createQuad(200, 0, 300, 0, 300, 50, 200, 50);
    Box* box = nullptr;
    captureStdout([&box] { box = spawnActor<Box>(50.0f, -100.0f); });
    return box;
}

b2Body* addStrayBody() {
    b2BodyDef def;
    return getWorld()->CreateBody(&def);
}

struct Breakage {
    const char* expected;
    std::function<std::function<void()>(Box&)> breakIt;  // returns what mends it
};

}  // namespace

TEST(Invariants, EachBrokenInvariantIsNamedAndASoundGameHasNone) {
    const std::vector<Breakage> breakages = {
        {"a body in the world that nobody owns",
         [](Box&) {
             b2Body* stray = addStrayBody();
             return [stray] { getWorld()->DestroyBody(stray); };
         }},
        {"quad 0 has a fixture on unsound corners",
         [](Box&) {
             const Vec2f line[4] = {{0, 0}, {50, 0}, {100, 0}, {150, 0}};
             setCorners(getQuad(0), line);
             return [] {};
         }},
        {"quad 1 lies outside its box in the quad index",
         [](Box&) {
             getQuad(1).vertices[2].x += 500;  // by hand, without quadCornersChanged
             return [] {};
         }},
        {"two quads share a fixture",
         [](Box&) {
             b2Fixture* own = getQuad(1).fixture;
             getQuad(1).fixture = getQuad(0).fixture;
             return [own] { getQuad(1).fixture = own; };
         }},
        {"box 0 has its body in another world",
         [](Box& box) {
             auto other = std::make_shared<b2World>(b2Vec2(0, 0));
             b2Body* own = box.body;
             b2BodyDef def;
             box.body = other->CreateBody(&def);
             return [other, own, &box] { box.body = own; };
         }},
    };
    for (const Breakage& breakage : breakages) {
        SCOPED_TRACE(breakage.expected);
        Box& box = *buildSoundGame();
        EXPECT_EQ(brokenInvariant(), "");
        const auto mend = breakage.breakIt(box);
        EXPECT_EQ(brokenInvariant(), breakage.expected);
        mend();
        resetActors();
        clearMapQuads(true);
        destroyWorld();
        unloadAllTextures(false);
    }
}

TEST(InvariantsDeathTest, ABrokenInvariantAbortsTheStepWithOneLine) {
    if (!kCheckInvariants) GTEST_SKIP() << "Release builds do not check as they run";
    buildSoundGame();
    checkGameInvariants("after setting up", true);  // sound: the whole check passes
    addStrayBody();
    // The step's own check is sampled: the world's body count gives the stray body away.
    EXPECT_DEATH(updateStep(), "^invariant broken after a logic step: a body in the world that nobody owns\n");
}
