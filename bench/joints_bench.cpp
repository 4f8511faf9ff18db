// Joint figures: 1,000 scripted bodies held by 500 hinges and 500 springs, stepped through the
// game, beside the same world built straight in Box2D and stepped alone (the counters hold both
// means and their ratio); and an on_step that reads every body and joint of that world, per 1,000
// handles. Run from any folder.
#include <benchmark/benchmark.h>
#include <box2d/box2d.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "actors/joints.h"
#include "bench_support.h"
#include "core/units.h"
#include "game/game.h"
#include "game/level_script.h"
#include "game/main_loop.h"
#include "script/scripting.h"

namespace {
constexpr int kColumns = 50, kRows = 20;  // 1,000 bodies
constexpr float kSpacing = 40.0f;          // units between body centres
constexpr float kTop = -400.0f;            // units: the first row, well above the ground
constexpr float kHalf = 10.0f;             // units: each body a 20 x 20 box
constexpr float kSpringDrop = 30.0f;       // units: a spring's world point above its body

// The rig as a level script: even bodies pinned at their left edge, odd ones hung on springs.
const char* const kRig =
    "bodies, joints = {}, {}\n"
    "for i = 0, 999 do\n"
    "  local x, y = (i % 50) * 40, -400 + (i // 50) * 40\n"
    "  local b = game.body{x = x, y = y, w = 20, h = 20}\n"
    "  bodies[#bodies + 1] = b\n"
    "  if i % 2 == 0 then joints[#joints + 1] = game.hinge{b = b, x = x - 10, y = y}\n"
    "  else joints[#joints + 1] = game.spring{b = b, ax = x, ay = y - 30} end\n"
    "end\n";

const char* const kReader =
    "function on_step()\n"
    "  for i = 1, #bodies do local x, y = bodies[i]:position() end\n"
    "  for i = 1, #joints do local fx, fy, t = joints[i]:reaction() end\n"
    "end\n";

// A fresh temporary folder as the working folder for the game, with map.lua.
struct Folder {
    explicit Folder(const std::string& script) {
        char pattern[] = "/tmp/kelvoran-joints-bench-XXXXXX";
        path = mkdtemp(pattern);
        home = std::filesystem::current_path();
        std::filesystem::current_path(path);
        std::ofstream(kScriptFileName) << script;
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

b2Vec2 metres(float x, float y) { return b2Vec2(toMetres(x), toMetres(y)); }

// The same world with nothing of the game around it: gravity, the ground, the boxes and joints.
std::unique_ptr<b2World> buildFloorWorld() {
    auto world = std::make_unique<b2World>(b2Vec2(0.0f, 55.0f));
    b2BodyDef groundDef;
    groundDef.position.Set(32.0f, 39.0f);
    b2Body* ground = world->CreateBody(&groundDef);
    b2PolygonShape groundShape;
    groundShape.SetAsBox(64.0f, 2.0f);
    ground->CreateFixture(&groundShape, 0.0f);
    for (int i = 0; i < kColumns * kRows; ++i) {
        const float x = static_cast<float>(i % kColumns) * kSpacing;
        const float y = kTop + static_cast<float>(i / kColumns) * kSpacing;
        b2BodyDef def;
        def.type = b2_dynamicBody;
        def.position = metres(x, y);
        b2Body* body = world->CreateBody(&def);
        b2PolygonShape box;
        box.SetAsBox(toMetres(kHalf), toMetres(kHalf));
        b2FixtureDef fixture;
        fixture.shape = &box;
        fixture.density = 1.0f;
        fixture.friction = 0.9f;
        body->CreateFixture(&fixture);
        if (i % 2 == 0) {
            b2RevoluteJointDef hinge;
            hinge.Initialize(ground, body, metres(x - kHalf, y));
            world->CreateJoint(&hinge);
        } else {
            b2DistanceJointDef spring;
            spring.Initialize(ground, body, metres(x, y - kSpringDrop), body->GetPosition());
            spring.minLength = 0.0f;
            spring.maxLength = toMetres(2000000.0f);
            b2LinearStiffness(spring.stiffness, spring.damping, 4.0f, 0.5f, ground, body);
            world->CreateJoint(&spring);
        }
    }
    return world;
}

double msSince(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// A game step and a bare Box2D step of the same world in turn; the benchmark's time is the game
// step's, the counters hold both means and their ratio.
void BM_JointWorldAgainstBox2D(benchmark::State& state) {
    const Folder folder(kRig);
    installScripting();
    startQuietly();
    if (liveJointCount() != 1000) state.SkipWithError("the rig did not make 1,000 joints");
    auto floor = buildFloorWorld();
    double gameMs = 0.0, floorMs = 0.0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        updateStep();
        const double game = msSince(start);
        start = std::chrono::steady_clock::now();
        floor->Step(0.01f, 5, 6);
        floorMs += msSince(start);
        gameMs += game;
        state.SetIterationTime(game / 1000.0);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["game_ms"] = gameMs / n;
    state.counters["box2d_ms"] = floorMs / n;
    state.counters["ratio"] = gameMs / floorMs;
    stopQuietly();
}
BENCHMARK(BM_JointWorldAgainstBox2D)->Iterations(500)->Unit(benchmark::kMillisecond)->UseManualTime();

// The script's own step with an on_step that reads the position of each of the 1,000 bodies and
// the reaction of each of the 1,000 joints; the counter is per 1,000 handles.
void BM_OnStepReadingBodiesAndJoints(benchmark::State& state) {
    const Folder folder(std::string(kRig) + kReader);
    installScripting();
    startQuietly();
    double totalMs = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        stepLevelScript();
        totalMs += msSince(start);
    }
    if (!scriptRunning()) state.SkipWithError("the script stopped");
    // Each step reads 2,000 handles.
    state.counters["us_per_1000_handles"] = totalMs * 1000.0 / (static_cast<double>(state.iterations()) * 2.0);
    stopQuietly();
}
BENCHMARK(BM_OnStepReadingBodiesAndJoints)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
