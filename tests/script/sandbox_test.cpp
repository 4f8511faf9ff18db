// sandbox_test.cpp: what a script can and cannot reach, and how it is stopped.
#include <gtest/gtest.h>
#include <lua.hpp>

#include <fstream>
#include <string>

#include "actors/actor.h"
#include "game/sandbox.h"
#include "script/scripting.h"
#include "script_support.h"

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
