// Level script figures, each beside its floor: an on_step that reads and pushes 1,000 handles
// against 1,000 bare lua_pcall calls of an empty function, and the logic step with scripting
// installed but no map.lua against the step without scripting. Run from any folder.
#include <benchmark/benchmark.h>
#include <lua.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "game/game.h"
#include "game/level_script.h"
#include "game/main_loop.h"
#include "script/scripting.h"

namespace {
constexpr int kHandles = 1000;

// A fresh temporary folder as the working folder for the game, with map.lua when given.
struct Folder {
    explicit Folder(const std::string& script) {
        char pattern[] = "/tmp/kelvoran-script-bench-XXXXXX";
        path = mkdtemp(pattern);
        home = std::filesystem::current_path();
        std::filesystem::current_path(path);
        if (!script.empty()) std::ofstream(kScriptFileName) << script;
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
}  // namespace

BENCHMARK_MAIN();
