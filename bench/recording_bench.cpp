// What recording costs the game per pass of the main loop: an idle pass (the common case: no
// frame, no step), a pass that runs a logic step, and the state hash taken every 100 steps, each
// with and without the recorder around it. No display needed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "actors/actor.h"
#include "actors/box.h"
#include "game/main_loop.h"
#include "session/recording.h"
#include "session/session_replay.h"
#include "game/game.h"
#include "game/host.h"
#include "game/state_hash.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {
int32_t now = 0;
int32_t clockReading() { return recordReading(now); }

// The game without a window, with 100 crates on the starter map's start position.
void startQuietGame() {
    static bool started = false;
    if (started) return;
    started = true;
    Host recorded = headlessHost();
    recorded.clock = clockReading;
    installHost(recorded);  // for the whole benchmark run
    captureStdout([] {
        int argc = 0;
        startGame(argc, nullptr, false, [](int&, char**) {});
        for (int i = 0; i < 100; ++i) spawnActor<Box>(static_cast<float>(i * 8 - 400), -200.0f);
    });
}

void idlePasses(benchmark::State& state, bool recorded) {
    startQuietGame();
    const std::string path = "/tmp/kelvoran-bench-" + std::to_string(getpid()) + ".krec";
    if (recorded) beginRecording(path, 0, nullptr);
    now = frameScheduler().nextStep - 1;  // before the next step and frame: every pass is idle
    if (frameScheduler().nextFrame <= now) {
        FrameScheduler schedule = frameScheduler();
        schedule.nextFrame = now + 1;
        setFrameScheduler(schedule);
    }
    for (auto _ : state) {
        if (recorded) recordedPass();
        else runPass();
    }
    endRecording();
    std::remove(path.c_str());
}

void steppingPasses(benchmark::State& state, bool recorded) {
    startQuietGame();
    const std::string path = "/tmp/kelvoran-bench-" + std::to_string(getpid()) + ".krec";
    if (recorded) beginRecording(path, 0, nullptr);
    for (auto _ : state) {
        now = frameScheduler().nextStep;  // exactly one step due, and a frame every other pass
        captureStdout([recorded] {
            if (recorded) recordedPass();
            else runPass();
        });
    }
    endRecording();
    std::remove(path.c_str());
}

void BM_IdlePass(benchmark::State& state) { idlePasses(state, false); }
void BM_IdlePassRecorded(benchmark::State& state) { idlePasses(state, true); }
void BM_SteppingPass(benchmark::State& state) { steppingPasses(state, false); }
void BM_SteppingPassRecorded(benchmark::State& state) { steppingPasses(state, true); }
void BM_StateHash100Crates(benchmark::State& state) {
    startQuietGame();
    for (auto _ : state) benchmark::DoNotOptimize(stateHash());
}
BENCHMARK(BM_IdlePass);
BENCHMARK(BM_IdlePassRecorded);
BENCHMARK(BM_SteppingPass);
BENCHMARK(BM_SteppingPassRecorded);
BENCHMARK(BM_StateHash100Crates);
}  // namespace

BENCHMARK_MAIN();
