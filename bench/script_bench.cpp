// Level script figures, each beside its floor measured in the same run:
// - an on_step that reads the position and velocity of 1,000 bodies and pushes each, against the
//   same script in a plain Lua state whose handles are bare userdata holding a b2Body*;
// - the world step of a scripted level, 200 bouncing bodies heard by on_touch beside 1,000,
//   100,000 and 1,000,000 quads, against a copy of the same world stepped by Box2D alone, with
//   the script's own step at each map size;
// - 1,000 bare lua_pcall calls of an empty function, and the logic step with scripting installed
//   but no map.lua against the step without scripting.
// Figures in the counters: min and median of the per-step times (µs) on each side, and the ratio
// of the medians. Run from any folder.
#include <benchmark/benchmark.h>
#include <box2d/box2d.h>
#include <lua.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/units.h"
#include "game/game.h"
#include "game/level_script.h"
#include "game/main_loop.h"
#include "map/map_codec.h"
#include "map/map_file.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "script/scripting.h"

namespace {
constexpr int kHandles = 1000;

// A fresh temporary folder as the working folder for the game, with map.lua when given and
// map.txt when given.
struct Folder {
    explicit Folder(const std::string& script, const std::vector<uint8_t>& map = {}) {
        char pattern[] = "/tmp/kelvoran-script-bench-XXXXXX";
        path = mkdtemp(pattern);
        home = std::filesystem::current_path();
        std::filesystem::current_path(path);
        if (!script.empty()) std::ofstream(kScriptFileName) << script;
        if (!map.empty()) {
            std::ofstream(kMapFileName, std::ios::binary)
                .write(reinterpret_cast<const char*>(map.data()), static_cast<std::streamsize>(map.size()));
        }
    }
    ~Folder() {
        std::filesystem::current_path(home);
        std::filesystem::remove_all(path);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::filesystem::path path, home;
};

void startQuietly() {
    bench::quietly([] {
        int argc = 0;
        startGame(argc, nullptr, false, [](int&, char**) {});
    });
}

void stopQuietly() {
    bench::quietly([] { shutdownGame(false); });
    uninstallScriptHooks();
}

// The floor: 1,000 protected calls of an empty Lua function in a plain state.
void BM_BarePcalls(benchmark::State& state) {
    lua_State* L = luaL_newstate();
    luaL_dostring(L, "function f() end");
    for (auto _ : state) {
        for (int i = 0; i < kHandles; ++i) {
            lua_getglobal(L, "f");
            lua_pcall(L, 0, 0, 0);
        }
    }
    lua_close(L);
}
BENCHMARK(BM_BarePcalls)->Unit(benchmark::kMicrosecond);

// One script step whose on_step reads the position of and pushes each of 1,000 bodies.
void BM_OnStepWith1000Handles(benchmark::State& state) {
    const Folder folder(
        "local bodies = {}\n"
        "for i = 1, 1000 do bodies[i] = game.body{x = (i % 50) * 40, y = (i // 50) * 40} end\n"
        "function on_step()\n"
        "  for _, b in ipairs(bodies) do\n"
        "    local x, y = b:position()\n"
        "    b:push(0, y > 0 and -1 or 1)\n"
        "  end\n"
        "end\n");
    installScripting();
    startQuietly();
    for (auto _ : state) stepLevelScript();
    if (!scriptRunning()) state.SkipWithError("the script stopped");
    stopQuietly();
}
BENCHMARK(BM_OnStepWith1000Handles)->Unit(benchmark::kMicrosecond);

// The whole logic step without scripting, and with scripting installed but no map.lua.
void BM_LogicStep(benchmark::State& state) {
    const Folder folder("");
    if (state.range(0)) installScripting();
    startQuietly();
    for (auto _ : state) updateStep();
    stopQuietly();
}
BENCHMARK(BM_LogicStep)->Arg(0)->Arg(1)->ArgName("scripting")->Unit(benchmark::kMicrosecond);

double usSince(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - since).count();
}

// Per-step times of one side of a comparison.
struct Samples {
    std::vector<double> us;
    double min() const { return us.empty() ? 0.0 : *std::min_element(us.begin(), us.end()); }
    double median() {
        if (us.empty()) return 0.0;
        std::nth_element(us.begin(), us.begin() + static_cast<std::ptrdiff_t>(us.size() / 2), us.end());
        return us[us.size() / 2];
    }
};

// name_min_us and name_median_us.
void report(benchmark::State& state, const std::string& name, Samples& samples) {
    state.counters[name + "_min_us"] = samples.min();
    state.counters[name + "_median_us"] = samples.median();
}

// The handle script: reads the position and velocity of 1,000 bodies and pushes each, once a
// step. The same text runs in the game and in the floor's plain state.
const char* const kReadAndPush =
    "local bodies = {}\n"
    "for i = 1, 1000 do bodies[i] = game.body{x = (i % 50) * 40, y = -400 - (i // 50) * 40} end\n"
    "function on_step()\n"
    "  for i = 1, #bodies do\n"
    "    local b = bodies[i]\n"
    "    local x, y = b:position()\n"
    "    local vx, vy = b:velocity()\n"
    "    b:push(0, vy > 0 and -1 or 1)\n"
    "  end\n"
    "end\n";

// The floor: a plain Lua 5.4 binding of the same Box2D calls. A handle is a userdata holding the
// b2Body*, its metatable's __index a table of the methods; game.body makes a 32-unit box.
namespace floor_binding {
constexpr const char* kBodyType = "floor.body";

b2Body* checkBody(lua_State* L) { return *static_cast<b2Body**>(luaL_checkudata(L, 1, kBodyType)); }

int position(lua_State* L) {
    const b2Vec2 p = checkBody(L)->GetPosition();
    lua_pushnumber(L, toUnits(p.x));
    lua_pushnumber(L, toUnits(p.y));
    return 2;
}

int velocity(lua_State* L) {
    const b2Vec2 v = checkBody(L)->GetLinearVelocity();
    lua_pushnumber(L, toUnits(v.x));
    lua_pushnumber(L, toUnits(v.y));
    return 2;
}

int push(lua_State* L) {
    b2Body* body = checkBody(L);
    const float ix = static_cast<float>(luaL_checknumber(L, 2)), iy = static_cast<float>(luaL_checknumber(L, 3));
    body->ApplyLinearImpulseToCenter(b2Vec2(toMetres(ix), toMetres(iy)), true);
    return 0;
}

int makeBody(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_getfield(L, 1, "x");
    lua_getfield(L, 1, "y");
    auto* world = static_cast<b2World*>(lua_touserdata(L, lua_upvalueindex(1)));
    b2BodyDef def;
    def.type = b2_dynamicBody;
    def.position.Set(toMetres(static_cast<float>(lua_tonumber(L, -2))), toMetres(static_cast<float>(lua_tonumber(L, -1))));
    b2Body* body = world->CreateBody(&def);
    b2PolygonShape box;
    box.SetAsBox(toMetres(16.0f), toMetres(16.0f));
    body->CreateFixture(&box, 1.0f);
    *static_cast<b2Body**>(lua_newuserdatauv(L, sizeof(b2Body*), 0)) = body;
    luaL_setmetatable(L, kBodyType);
    return 1;
}

// A plain state running script, whose game.body makes bodies in world.
lua_State* open(b2World& world, const char* script) {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    const luaL_Reg methods[] = {{"position", position}, {"velocity", velocity}, {"push", push}, {nullptr, nullptr}};
    luaL_newmetatable(L, kBodyType);
    luaL_newlib(L, methods);
    lua_setfield(L, -2, "__index");
    lua_pop(L, 1);
    lua_newtable(L);
    lua_pushlightuserdata(L, &world);
    lua_pushcclosure(L, makeBody, 1);
    lua_setfield(L, -2, "body");
    lua_setglobal(L, "game");
    if (luaL_dostring(L, script) != LUA_OK) {
        lua_close(L);
        return nullptr;
    }
    return L;
}
}  // namespace floor_binding

// The script's share of a step reading and pushing 1,000 bodies: the game's whole script step
// (its timers, touches and on_step in the sandbox) and, in turn, the floor binding's on_step.
void BM_HandlesAgainstPlainBinding(benchmark::State& state) {
    const Folder folder(kReadAndPush);
    installScripting();
    startQuietly();
    b2World floorWorld(b2Vec2(0.0f, 55.0f));
    lua_State* plain = floor_binding::open(floorWorld, kReadAndPush);
    if (!plain) state.SkipWithError("the floor script failed");
    Samples game, floor;
    for (auto _ : state) {
        if (!plain) break;
        auto start = std::chrono::steady_clock::now();
        stepLevelScript();
        game.us.push_back(usSince(start));
        start = std::chrono::steady_clock::now();
        lua_getglobal(plain, "on_step");
        if (lua_pcall(plain, 0, 0, 0) != LUA_OK) state.SkipWithError("the floor's on_step failed");
        floor.us.push_back(usSince(start));
        state.SetIterationTime(game.us.back() / 1e6);
    }
    if (!scriptRunning()) state.SkipWithError("the script stopped");
    report(state, "game", game);
    report(state, "floor", floor);
    state.counters["ratio"] = game.median() / floor.median();
    if (plain) lua_close(plain);
    stopQuietly();
}
BENCHMARK(BM_HandlesAgainstPlainBinding)->Iterations(2000)->Unit(benchmark::kMicrosecond)->UseManualTime();

// The map of the scripted level: a 20 x 15 block of 40-unit squares under the bodies, and the
// rest in a wide grid far to the right, out of their reach.
std::vector<QuadRecord> blockAndGrid(int count) {
    std::vector<QuadRecord> records(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        float left, top;
        if (i < 300) {
            left = -480.0f + 48.0f * static_cast<float>(i % 20);
            top = -360.0f + 48.0f * static_cast<float>(i / 20);
        } else {
            const int j = i - 300;
            left = 2000.0f + 48.0f * static_cast<float>(j % 300);
            top = -7000.0f + 48.0f * static_cast<float>(j / 300);
        }
        const float corners[8] = {left, top, left + 40.0f, top, left + 40.0f, top + 40.0f, left, top + 40.0f};
        std::copy(corners, corners + 8, records[static_cast<size_t>(i)].corners);
    }
    return records;
}

// 200 bodies that bounce on the block for good, so touches begin and end every step, all heard;
// the script stops (and the benchmark says so) should none be heard.
const char* const kBouncers =
    "for i = 0, 199 do\n"
    "  game.body{x = -460 + (i % 20) * 48, y = -420 - (i // 20) * 40, w = 20, h = 20, restitution = 1}\n"
    "end\n"
    "touches = 0\n"
    "function on_touch(a, b, info) touches = touches + 1 end\n"
    "function on_step() if game.time() > 2 and touches == 0 then error('no touch heard') end end\n";

// A scripted level's world step beside n quads (the game's world, the script's listener and
// filter in place) against a copy of the same bodies stepped by Box2D alone, in turn; and the
// script's own step, whose cost must not grow with the map.
void BM_ScriptedLevelBesideMap(benchmark::State& state) {
    const Folder folder(kBouncers, encodeMap(blockAndGrid(static_cast<int>(state.range(0)))));
    installScripting();
    startQuietly();
    b2World* world = getWorld();
    b2World bare(world->GetGravity());
    for (b2Body* body = world->GetBodyList(); body; body = body->GetNext()) cloneBody(*body, bare);
    // The first steps pair the new fixtures in both worlds; the bodies drop onto the block.
    for (int i = 0; i < 100; ++i) {
        stepLevelScript();
        world->Step(0.01f, 5, 6);
        bare.Step(0.01f, 5, 6);
    }
    Samples script, game, floor;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        stepLevelScript();
        script.us.push_back(usSince(start));
        start = std::chrono::steady_clock::now();
        world->Step(0.01f, 5, 6);
        game.us.push_back(usSince(start));
        start = std::chrono::steady_clock::now();
        bare.Step(0.01f, 5, 6);
        floor.us.push_back(usSince(start));
        state.SetIterationTime(game.us.back() / 1e6);
    }
    if (!scriptRunning()) state.SkipWithError("the script stopped");
    report(state, "script", script);
    report(state, "world", game);
    report(state, "box2d", floor);
    state.counters["ratio"] = game.median() / floor.median();
    state.counters["quads"] = static_cast<double>(mapQuads().size());
    state.counters["contacts"] = static_cast<double>(world->GetContactCount());
    state.SetLabel(std::to_string(state.range(0)) + " quads");
    stopQuietly();
}
BENCHMARK(BM_ScriptedLevelBesideMap)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1000)
    ->Unit(benchmark::kMicrosecond)
    ->UseManualTime();
}  // namespace

BENCHMARK_MAIN();
