// sandbox_test.cpp: what a script can and cannot reach, and how it is stopped.
#include <gtest/gtest.h>
#include <lua.hpp>

#include <chrono>
#include <fstream>
#include <string>

#include "actors/actor.h"
#include "game/messages.h"
#include "game/sandbox.h"
#include "script/scripting.h"
#include "script_support.h"
#include "support/hostile_scripts.h"
#include "support/property_cases.h"

namespace {
using SandboxTest = ScriptedGame;

std::string lastMessage() {
    const auto messages = visibleMessages();
    return messages.empty() ? std::string() : messages.back();
}
}  // namespace

TEST_F(SandboxTest, EveryForbiddenGlobalIsNil) {
    const std::string out = start(
        "for _, name in ipairs({'io', 'os', 'debug', 'package', 'require', 'dofile', 'loadfile',\n"
        "    'collectgarbage', 'coroutine'}) do print(name, _G[name]) end\n"
        "print('dump', string.dump, 'seed', math.randomseed)\n"
        "print(load('return 1 + 1')())\n"
        "print(load('\\27Lua' .. string.rep('x', 20)))\n");
    EXPECT_EQ(out,
              "io\tnil\nos\tnil\ndebug\tnil\npackage\tnil\nrequire\tnil\ndofile\tnil\n"
              "loadfile\tnil\ncollectgarbage\tnil\ncoroutine\tnil\ndump\tnil\tseed\tnil\n2\n"
              "nil\tattempt to load a binary chunk (mode is 't')\n");
    EXPECT_TRUE(scriptRunning());
}

TEST_F(SandboxTest, APrecompiledMapLuaIsRefused) {
    // Bytecode made by an ordinary state, written as map.lua.
    lua_State* plain = luaL_newstate();
    ASSERT_EQ(luaL_loadstring(plain, "print('compiled')"), LUA_OK);
    std::string bytecode;
    lua_dump(plain, [](lua_State*, const void* p, size_t n, void* out) {
        static_cast<std::string*>(out)->append(static_cast<const char*>(p), n);
        return 0;
    }, &bytecode, 1);
    lua_close(plain);
    testing::internal::CaptureStderr();
    const std::string out = start(bytecode);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "map.lua: attempt to load a binary chunk (mode is 't')\n");
    EXPECT_EQ(out.find("compiled"), std::string::npos);
    EXPECT_TRUE(scriptStopped());
}

struct Runaway {
    const char* name;
    const char* script;
    const char* line;  // on standard error and as the message
};

class RunawayTest : public ScriptedGame, public testing::WithParamInterface<Runaway> {};

// Each is stopped with its line, the script runs no more, and the game steps on.
TEST_P(RunawayTest, IsStoppedWithItsLineWhileTheGameStepsOn) {
    testing::internal::CaptureStderr();
    start(GetParam().script);
    steps(3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(GetParam().line) + "\n");
    EXPECT_EQ(lastMessage(), GetParam().line);
    EXPECT_TRUE(scriptStopped());
    EXPECT_FALSE(scriptRunning());
    EXPECT_EQ(scriptMemoryInUse(), 0u);
    const size_t before = allActors().size();
    steps(100);  // nothing more is called: the game's own steps go on
    EXPECT_EQ(allActors().size(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Script, RunawayTest,
    testing::Values(
        Runaway{"InfiniteLoop", "function on_step()\n  local n = 0\n  while true do n = n + 1 end\nend\n",
                "map.lua:3: script took too long"},
        Runaway{"LoopInsidePcall",
                "function on_step()\n  while true do\n    pcall(function() while true do end end)\n  end\nend\n",
                "map.lua:3: script took too long"},
        Runaway{"MemoryBomb", "local t = {}\nfunction on_step()\n  local s = 'x'\n"
                "  while true do s = s .. s; t[#t + 1] = s end\nend\n",
                "map.lua: script out of memory"},
        Runaway{"StringRep", "function on_step()\n  local s = string.rep('x', 1 << 30)\nend\n",
                "map.lua: script out of memory"},
        Runaway{"PatternBomb",
                "function on_step()\n  local s = string.rep('a', 5000)\n"
                "  return s:find('a*a*a*a*a*b')\nend\n",
                "map.lua:3: script took too long"},
        Runaway{"Error", "function on_step()\n  error('boom')\nend\n", "map.lua:2: boom"},
        Runaway{"SyntaxError", "function on_step(\n", "map.lua:2: <name> or '...' expected near <eof>"},
        Runaway{"BadArgument", "function on_start()\n  game.box('left', 3)\nend\n",
                "map.lua:2: bad argument #1 to 'box' (number expected, got string)"},
        Runaway{"ErrorObject", "error({})\n", "map.lua: error object is a table value"},
        Runaway{"PileOfBodies",
                "function on_start()\n  for i = 1, 40 do\n    game.body{x = 0, y = 0, w = 100, h = 100}\n  end\nend\n",
                "map.lua:3: too crowded: more than 16 bodies already overlap there"}),
    [](const testing::TestParamInfo<Runaway>& param) { return std::string(param.param.name); });

TEST_F(SandboxTest, AMapLuaOver16MiBIsNotReadButSaysWhy) {
    testing::internal::CaptureStderr();
    start("-- " + std::string(17u << 20, 'x') + "\nprint('read')\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "map.lua: larger than 16 MiB: not loaded\n");
    EXPECT_TRUE(scriptStopped());
}

// --- Hostile scripts: each stopped with its line, within a bound, while the game steps on. ---

namespace {
class HostileScriptTest : public ScriptedGame, public testing::WithParamInterface<HostileScript> {};
}  // namespace

TEST_P(HostileScriptTest, IsStoppedWithItsLineInBoundedTime) {
    const auto begin = std::chrono::steady_clock::now();
    testing::internal::CaptureStderr();
    start(GetParam().script);
    steps(100);
    const std::string err = testing::internal::GetCapturedStderr();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ(err, std::string(GetParam().line) + "\n");
    EXPECT_TRUE(scriptStopped());
    // Ten times the budget of a callback, for each of the few that run (more under the sanitizers).
    EXPECT_LT(seconds, kSanitizedBuild ? 20.0 : 5.0);
}

INSTANTIATE_TEST_SUITE_P(Script, HostileScriptTest, testing::ValuesIn(kHostileScripts),
                         [](const testing::TestParamInfo<HostileScript>& param) {
                             return std::string(param.param.name);
                         });

// Each search in a callback of its own, each with a whole budget.
TEST_F(SandboxTest, CommonPatternsOverMegabytesRun) {
    start("local s = string.rep('key = value,  next\\tword\\n', 100000)\n"
          "local searches = {\n"
          "  function() return #s, select(2, s:gsub('%s+', ' ')) end,\n"
          "  function() return select(2, s:gsub('(%w+) = (%w+)', '%2')) end,\n"
          "  function() local n = 0 for line in s:gmatch('(.-)\\n') do n = n + 1 end return n end,\n"
          "  function() return #s:match('^%s*(.-)%s*$') end,\n"
          "  function() return s:find('word\\nkey', 1, true) end,\n"
          "}\n"
          "for i, search in ipairs(searches) do game.after(i / 100, function() print(search()) end) end\n");
    EXPECT_EQ(steps(6), "2400000\t500000\n100000\n100000\n2399999\n20\t27\n");
    EXPECT_TRUE(scriptRunning());
}

TEST_F(SandboxTest, WhatAScriptPrintsOrRaisesReachesTheTerminalEscaped) {
    testing::internal::CaptureStderr();
    const std::string out = start("print('\\27]0;owned\\7', 'tab\\there')\nerror('\\27[2J\\r\\nfake')\n");
    EXPECT_EQ(out, "\\x1b]0;owned\\x07\ttab\\x09here\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "map.lua:2: \\x1b[2J  fake\n");
}
