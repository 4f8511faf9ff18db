// level_loop_test.cpp: a level maker's loop: a reload that leaves no duplicates and may carry a
// table, a broken edit that leaves the level playing, keys by name with their releases, and what
// a level declares for the player (keys, labels, allowances, the stopped line).
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <filesystem>

#include "actors/actor.h"
#include "core/sound_cues.h"
#include "actors/box.h"
#include "actors/joints.h"
#include "game/input.h"
#include "game/level_presentation.h"
#include "game/messages.h"
#include "game/sandbox.h"
#include "render/texture.h"
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

TEST_F(LevelLoopTest, ASoundIsTheGamesOwnOrACheckedFileOfTheLevelsFolder) {
    std::filesystem::copy_file(std::filesystem::path(KELVORAN_SOURCE_DIR) / "assets/thud.wav", "bong.wav");
    std::ofstream("broken.wav", std::ios::binary) << "RIFF not really";
    start("game.sound('burst', 10, 20, 0.5)\n"
          "game.sound('bong.wav')\n"
          "game.sound('bong.wav', 0, 0)\n"
          "function on_key(key)\n"
          "  if key == 'x' then game.sound('broken.wav') end\n"
          "  if key == 'y' then game.sound('../map.lua') end\n"
          "  if key == 'k' then game.sound('whistle') end\n"
          "end\n");
    std::vector<SoundCue> cues;
    takeSoundCues(cues);
    ASSERT_EQ(cues.size(), 3u);
    EXPECT_EQ(cues[0].sound, static_cast<int32_t>(OwnSound::Burst));
    EXPECT_EQ(cues[0].gain, 0.5f);
    EXPECT_EQ(cues[1].sound, 0);  // read once, played twice
    EXPECT_FALSE(cues[1].placed);
    EXPECT_EQ(cues[2].sound, 0);
    const auto errorFor = [this](unsigned char key) {
        edit(std::string("function on_start() end\nfunction on_key(key)\n") +
             "  if key == 'x' then game.sound('broken.wav') end\n"
             "  if key == 'y' then game.sound('../map.lua') end\n"
             "  if key == 'k' then game.sound('whistle') end\nend\n-- " + std::string(1, static_cast<char>(key)) + "\n");
        testing::internal::CaptureStderr();
        captureStdout([key] { onKeyDown(key, 0, 0); onKeyUp(key, 0, 0); });
        steps(1);
        return testing::internal::GetCapturedStderr();
    };
    EXPECT_EQ(errorFor('x').rfind("map.lua:3: game.sound: broken.wav: ", 0), 0u);
    EXPECT_EQ(errorFor('y'), "map.lua:4: game.sound: no sound named '../map.lua' (the game's are impact, thud, burst "
                             "and rocket; a level's own is a .wav, .ogg or .flac file beside map.lua)\n");
    EXPECT_EQ(errorFor('k').rfind("map.lua:5: game.sound: no sound named 'whistle'", 0), 0u);
}

TEST_F(LevelLoopTest, ABodyMayWearAnImageOfTheLevelsOwnFolder) {
    std::filesystem::copy_file(std::filesystem::path(KELVORAN_SOURCE_DIR) / "assets/image9.png", "rings.png");
    std::ofstream("broken.png", std::ios::binary) << "\x89PNG but not";
    const std::string out = start("local a = game.body{sheet = 'rings.png', frames = {3, 3}, frame = 8}\n"
          "local b = game.body{x = 100, sheet = 'rings.png'}\n"
          "print(pcall(game.body, {x = 200, sheet = 'rings.png', frames = {2, 2}}))\n"
          "print(pcall(game.body, {x = 300, sheet = 'image.png', frames = {2, 2}}))\n"
          "print(pcall(game.body, {x = 400, sheet = 'missing.png'}))\n"
          "print(pcall(game.body, {x = 500, sheet = 'broken.png'}))\n");
    EXPECT_EQ(out,
              "false\tgame.body: 'rings.png' is already cut into 3 x 3 frames\n"
              "false\tgame.body: frames is for a level's own sheet; 'image.png' is the game's\n"
              "false\tgame.body: missing.png: no such file in the level's folder\n"
              "false\tgame.body: broken.png: not a PNG file\n");
    const Texture* sheet = findTexture("rings.png");
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->frameCount, 9);
    EXPECT_TRUE(sheet->levelSheet);
    // The script going takes its sheets with it.
    edit("-- none\n");
    EXPECT_EQ(findTexture("rings.png"), nullptr);
}
