// api_test.cpp: the game table, handles and callbacks, driven through the logic step.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "actors/actor.h"
#include "game/messages.h"
#include "support/gl_window.h"
#include "core/camera.h"
#include "core/random.h"
#include "game/input.h"
#include "game/sandbox.h"
#include "game/level_script.h"
#include "game/state_hash.h"
#include "lighting/lightmap.h"
#include "map/map_codec.h"
#include "render/texture.h"
#include "script/scripting.h"
#include "script_support.h"

namespace {
using ScriptApiTest = ScriptedGame;

int32_t countKind(const char* name) {
    int32_t n = 0;
    for (const auto& actor : allActors()) n += std::string(actor->kind().name) == name ? 1 : 0;
    return n;
}
}  // namespace

TEST_F(ScriptApiTest, HandlesReadAndMoveTheirActorsAndARemovedOneIsSafe) {
    start("b = game.box(100, 50)\n"
          "p = game.body{x = 300, y = 80, w = 64, h = 16, dynamic = false}\n"
          "print(b.kind, p.kind, b:alive(), tostring(b) == tostring(b))\n"
          "function on_step()\n"
          "  if game.time() == 0.5 then\n"
          "    local x, y = b:position(); local vx, vy = b:velocity()\n"
          "    print(x == 100, y > 50, vy > 0, p:angle())\n"
          "    p:move(310, 90); print(p:position())\n"
          "    b:remove(); print(b:alive(), pcall(b.position, b))\n"
          "    b:position()\n"
          "  end\n"
          "end\n");
    EXPECT_EQ(countKind("box"), 1);
    EXPECT_EQ(countKind("body"), 1);
    testing::internal::CaptureStderr();
    const std::string out = steps(60);
    const std::string err = testing::internal::GetCapturedStderr();
    // A C function called straight from pcall has no line of its own to name.
    EXPECT_NE(out.find("true\ttrue\ttrue\t0.0\n310.0\t90.0\nfalse\tfalse\tthe box #0 was removed\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(err, "map.lua:10: the box #0 was removed\n");
    EXPECT_EQ(countKind("box"), 0);   // removed by the next update
    EXPECT_EQ(countKind("body"), 1);  // the script stops, its actors stay
}

TEST_F(ScriptApiTest, TimersAndTimeRunOnLogicSteps) {
    start("game.after(0.05, function() print('after', game.time()) end)\n"
          "game.after(0, function() print('next step', game.time()) end)\n"
          "function on_start() print('start', game.time()) end\n");
    EXPECT_EQ(steps(10), "next step\t0.01\nafter\t0.05\n");
}

TEST_F(ScriptApiTest, RandomDrawsFromTheGamesCountedGenerator) {
    const std::string out = start(
        "local a = game.random(); local b = math.random(6); local c = math.random(10, 12)\n"
        "print(a >= 0 and a < 1, b >= 1 and b <= 6 and math.type(b), c >= 10 and c <= 12)\n"
        "print(math.type(math.random(math.mininteger, math.maxinteger)))\n"
        "local seen, bad = {}, 0\n"
        "for i = 1, 6000 do\n"
        "  local d = math.random(-2, 3); local f = math.random()\n"
        "  if d < -2 or d > 3 or f < 0 or f >= 1 then bad = bad + 1 end\n"
        "  seen[d] = (seen[d] or 0) + 1\n"
        "end\n"
        "local faces = 0\n"
        "for _, n in pairs(seen) do if n > 800 then faces = faces + 1 end end\n"
        "print(bad, faces)\n");
    EXPECT_EQ(out, "true\tinteger\ttrue\ninteger\n0\t6\n");
    EXPECT_EQ(randomCount(), 4u + 12000u);  // seeded at start-up, then one draw per number
}

TEST_F(ScriptApiTest, KeysTheGameDoesNotUseAndRightClicksReachTheScript) {
    start("function on_key(k) print('key', k) end\n"
          "function on_click(x, y) print('click', x, y) end\n");
    const std::string out = captureStdout([] {
        onKeyDown('q', 0, 0);
        onKeyDown('w', 0, 0);  // held for scrolling: the game's
        onKeyDown('c', 0, 0);  // clears: the game's
        onMouseMove(10, 20);
        onMouseButton(2, 0, 10, 20);
    });
    EXPECT_EQ(out.rfind("key\tq\nclick\t", 0), 0u) << out;
    EXPECT_EQ(out.find("key\tw"), std::string::npos);
    EXPECT_EQ(out.find("key\tc"), std::string::npos);
}

TEST_F(ScriptApiTest, TraversalAndPrintingShowNoAddresses) {
    const std::string out = start(
        "local t = {zeta = 1, alpha = 2, [3] = 'c', [1] = 'a', mid = 3, [true] = 4}\n"
        "local keys = {}\n"
        "for k in pairs(t) do keys[#keys + 1] = tostring(k) end\n"
        "print(table.concat(keys, ' '))\n"
        "print(next(t), next(t, 'mid'))\n"
        "print(tostring({}) ~= tostring({}), tostring(print) ~= nil, string.format('%s', {}):match('^table #%d+$') ~= nil)\n"
        "local a, b, c = {}, function() end, {}\n"
        "local objects = {[c] = 'c', [a] = 'a', [b] = 'b', [{}] = 'd'}\n"
        "local order = ''\n"
        "for _, v in pairs(objects) do order = order .. v end\n"
        "print(order, tostring(a) < tostring(c) or #tostring(a) < #tostring(c))\n"
        "local s = {{k = 2, n = 'b'}, {k = 1, n = 'a'}, {k = 2, n = 'c'}, {k = 1, n = 'd'}}\n"
        "table.sort(s, function(a, b) return a.k < b.k end)\n"
        "print(s[1].n .. s[2].n .. s[3].n .. s[4].n, pcall(string.format, '%p', {}))\n");
    EXPECT_EQ(out,
              "1 3 alpha mid zeta true\n1\tzeta\t1\ntrue\ttrue\ttrue\nabcd\ttrue\n"
              "adbc\tfalse\tstring.format: %p shows an address; not available here\n");
}

TEST_F(ScriptApiTest, SameScriptSameHashAndNoScriptAddsNothing) {
    const char* script = "local kinds = {a = 1, b = 2, c = 3}\n"
                         "for name, n in pairs(kinds) do game.box(n * 40, 10) end\n"
                         "game.after(0.3, function() game.box(game.random() * 500, 0) end)\n";
    start(script);
    steps(50);
    const uint64_t first = stateHash();
    TearDown();
    SetUp();
    start(script);
    steps(50);
    EXPECT_EQ(stateHash(), first);
    EXPECT_EQ(countKind("box"), 4);
}

TEST_F(ScriptApiTest, TouchesBetweenActorsAndQuadsReachOnTouch) {
    // A map quad under the right crate, a scripted floor under the left one.
    QuadRecord floor;
    const float corners[8] = {200, 200, 400, 200, 400, 240, 200, 240};
    std::copy(corners, corners + 8, floor.corners);
    const std::vector<uint8_t> map = encodeMap({floor});
    std::ofstream("map.txt", std::ios::binary).write(reinterpret_cast<const char*>(map.data()),
                                                     static_cast<std::streamsize>(map.size()));
    start("game.body{x = 0, y = 200, w = 200, h = 20, dynamic = false}\n"
          "left, right = game.box(0, 100), game.box(300, 100)\n"
          "local function name(x)\n"
          "  if type(x) == 'number' then return 'quad ' .. x end\n"
          "  return x == left and 'left' or x == right and 'right' or x.kind\n"
          "end\n"
          "function on_touch(a, b)\n"
          "  local names = {name(a), name(b)}; table.sort(names)\n"
          "  print('touch', names[1], names[2])\n"
          "end\n");
    const std::string out = steps(100);
    EXPECT_EQ(out, "touch\tbody\tleft\ntouch\tquad 1\tright\n") << out;
}

TEST_F(ScriptApiTest, AmbientLightIsTheLevelsUntilTheScriptGoes) {
    start("game.ambient(0.5, 0.25, 1)\nprint(pcall(game.ambient, 2, 0, 0))\n");
    EXPECT_TRUE(lightmapAmbient().set);
    EXPECT_EQ(lightmapAmbient().green, 0.25f);
    EXPECT_EQ(lightmapAmbient().blue, 1.0f);
    uninstallScriptHooks();  // unloads
    EXPECT_FALSE(lightmapAmbient().set);
}

TEST_F(ScriptApiTest, AnEditedScriptReloadsWithinASecondAndRRestartsTheLevel) {
    start("print('first')\ngame.box(0, 0)\n");
    steps(20);
    std::ofstream("map.lua", std::ios::trunc) << "function on_start() print('second', #tostring(1)) end\n";
    const std::string reloaded = steps(100);
    EXPECT_NE(reloaded.find("second\t1\n"), std::string::npos) << reloaded;
    EXPECT_EQ(visibleMessages().back(), "Reloaded map.lua");
    EXPECT_EQ(countKind("box"), 0);  // what the old script made goes with it
    EXPECT_EQ(steps(100).find("second"), std::string::npos);  // an unchanged file is not reloaded

    const std::string restarted = captureStdout([] { onKeyDown('r', 0, 0); });
    EXPECT_NE(restarted.find("second\t1\n"), std::string::npos);
    EXPECT_EQ(visibleMessages().back(), "Restarted");
    EXPECT_EQ(countKind("box"), 0);
}

TEST_F(ScriptApiTest, TheRestOfTheGameTableActsOnTheGame) {
    QuadRecord quad;
    const float corners[8] = {-100, 300, 100, 300, 100, 340, -100, 340};
    std::copy(corners, corners + 8, quad.corners);
    const std::vector<uint8_t> map = encodeMap({quad});
    std::ofstream("map.txt", std::ios::binary).write(reinterpret_cast<const char*>(map.data()),
                                                     static_cast<std::streamsize>(map.size()));
    const std::string out = start(
        "print(game.quads(), game.quad(1))\n"
        "print(pcall(function() return game.quad(2) end))\n"
        "local r = game.rocket(0, 0, 200, -100)\n"
        "print(r.kind, r:velocity())\n"
        "local l = game.lamp(50, 60, 2)\n"
        "print(l.kind, l:position())\n"
        "game.camera(123, 45)\n"
        "game.burst(10, 10); game.flicker(20, 20)\n"
        "game.say('hello')\n");
    EXPECT_NE(out.find("1\t-100.0\t300.0\t100.0\t300.0\t100.0\t340.0\t-100.0\t340.0\n"
                       "false\tmap.lua:2: bad argument #1 to 'quad' (no quad with that number)\n"
                       "rocket\t200.0\t-100.0\nlamp\t50.0\t60.0\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(cameraPosition().x, 123.0f);
    EXPECT_EQ(cameraPosition().y, 45.0f);
    EXPECT_EQ(visibleMessages().back(), "hello");
    size_t bursts = 0, flickers = 0;
    for (const auto& texture : allTextures()) {
        bursts += texture->queues.bursts.size();
        flickers += texture->queues.flickers.size();
    }
    EXPECT_EQ(bursts, 1u);
    EXPECT_EQ(flickers, 1u);
    // A car takes the camera from the script.
    start("game.car(0, 0)\nfunction on_step() game.camera(900, 900) end\n");
    steps(5);
    EXPECT_NE(cameraPosition().x, 900.0f);
}
