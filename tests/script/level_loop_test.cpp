// level_loop_test.cpp: a level maker's loop: a reload that leaves no duplicates and may carry a
// table, a broken edit that leaves the level playing, keys by name with their releases, and what
// a level declares for the player (keys, labels, allowances, the stopped line).
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "actors/actor.h"
#include "actors/box.h"
#include "actors/joints.h"
#include "game/input.h"
#include "game/level_presentation.h"
#include "game/sandbox.h"
#include "script/scripting.h"
#include "script_support.h"
#include "support/gl_window.h"

namespace {
class LevelLoopTest : public ScriptedGame {
protected:
    // Writes map.lua and runs the steps in which the game notices it.
    std::string edit(const std::string& script) {
        std::ofstream("map.lua", std::ios::binary) << script;
        return steps(60);
    }
};

const char* const kLevel =
    "local n = 0\n"
    "function on_start()\n"
    "  local a = game.body{x = 0, y = 0}\n"
    "  local b = game.body{x = 60, y = 0}\n"
    "  game.hinge{a = a, b = b, x = 30, y = 0}\n"
    "  game.lamp(0, -50)\n"
    "  game.label('score', 'Score: 0')\n"
    "  game.keys{x = 'count one up'}\n"
    "end\n"
    "function on_key(key, down) if key == 'x' and down then n = n + 1 end print(key, down) end\n"
    "function save() return {n = n, nested = {1, 2, 'three'}} end\n";
}  // namespace

TEST_F(LevelLoopTest, AHotReloadLeavesNoDuplicatesAndCarriesWhatSaveGave) {
    start(kLevel);
    const int32_t actors = static_cast<int32_t>(allActors().size());
    EXPECT_EQ(liveJointCount(), 1);
    EXPECT_EQ(levelLabels().size(), 1u);
    EXPECT_EQ(visibleMessages().back(), "h: help");
    // The player's crate is not the script's: it stays through reloads.
    captureStdout([] { spawnActor<Box>(300.0f, -100.0f); });
    const std::string out = edit(std::string(kLevel) +
                                            "function on_reload(state) print('carried', state.n, #state.nested, state.nested[3]) end\n");
    EXPECT_NE(out.find("carried\t0\t3\tthree\n"), std::string::npos) << out;
    EXPECT_EQ(static_cast<int32_t>(allActors().size()), actors + 1);
    EXPECT_EQ(liveJointCount(), 1);
    EXPECT_EQ(levelLabels().size(), 1u);
    EXPECT_EQ(visibleMessages().back(), "Reloaded map.lua");

    // A broken edit keeps the level as it was and says so.
    testing::internal::CaptureStderr();
    edit("function on_start( game.body{} end\n");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("(the level stays as it was)"), std::string::npos) << err;
    EXPECT_TRUE(scriptRunning());
    EXPECT_EQ(static_cast<int32_t>(allActors().size()), actors + 1);
    EXPECT_EQ(liveJointCount(), 1);
}

TEST_F(LevelLoopTest, KeysComeByNameWithTheirReleasesToAHandlerThatTakesThem) {
    start("function on_key(key, down) print(key, down, game.held(key)) end\n");
    std::string out = captureStdout([] {
        onKeyDown('x', 0, 0);
        onKeyDown('\r', 0, 0);
    }) + steps(1);
    out += captureStdout([] {
        onKeyUp('x', 0, 0);
        onSpecialKey(100, 0, 0);
    }) + steps(1);
    EXPECT_EQ(out, "x\ttrue\ttrue\nreturn\ttrue\ttrue\nx\tfalse\tfalse\nleft\ttrue\tfalse\n");
    captureStdout([] { onKeyUp('\r', 0, 0); });
    // A handler of one parameter hears presses only, as before releases were told.
    edit("function on_key(key) print(key) end\n");
    out = captureStdout([] {
        onKeyDown('q', 0, 0);
        onKeyUp('q', 0, 0);
    }) + steps(1);
    EXPECT_EQ(out, "q\n");
}

TEST_F(LevelLoopTest, ALevelDeclaresItsKeysLabelsAndAllowancesAndAStoppedScriptSaysSo) {
    start("game.keys{x = 'drop', left = 'steer'}\n"
          "game.allow{grab = false, cars = false}\n"
          "game.label('a', 'Hello', {x = 10, y = 20, size = 24, color = {1, 0, 0}})\n"
          "game.label('b', 'World', {world = true, x = 100, y = -40})\n"
          "game.label('a', 'Hi')\n"
          "game.label('b', nil)\n"
          "function on_key(key) error('boom') end\n");
    ASSERT_EQ(levelKeys().size(), 2u);
    EXPECT_EQ(levelKeys()[0].key, "left");
    EXPECT_FALSE(levelAllows().grab);
    EXPECT_FALSE(levelAllows().cars);
    EXPECT_TRUE(levelAllows().spawn);
    ASSERT_EQ(levelLabels().size(), 1u);
    EXPECT_EQ(levelLabels()[0].text, "Hi");
    const int32_t cars = countOfKind(countActorKinds(), "car");
    captureStdout([] {
        onKeyDown('1', 0, 0);
        onKeyUp('1', 0, 0);
    });
    steps(1);
    EXPECT_EQ(countOfKind(countActorKinds(), "car"), cars);
    EXPECT_EQ(stoppedScriptLine(), "");
    testing::internal::CaptureStderr();
    captureStdout([] { onKeyDown('x', 0, 0); });
    steps(1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(stoppedScriptLine(), "map.lua stopped: map.lua:7: boom");
    edit("game.label('c', 'again')\n");
    EXPECT_EQ(stoppedScriptLine(), "");
    EXPECT_TRUE(levelAllows().grab);
}
