// impact_bench.cpp: what hearing impacts costs the physics step: 200 crates falling onto the
// ground and each other, stepped with the impact listener and without it.
#include <benchmark/benchmark.h>
#include <box2d/box2d.h>

#include <vector>

#include "core/sound_cues.h"
#include "physics/physics_world.h"

namespace {
constexpr int kCrates = 200;
constexpr int kSteps = 150;  // 1.5 s: every crate has landed, most of them on others

void BM_LandingPile(benchmark::State& state) {
    const bool listening = state.range(0) != 0;
    std::vector<SoundCue> cues;
    for (auto _ : state) {
        state.PauseTiming();
        createWorld();
        if (!listening) getWorld()->SetContactListener(nullptr);
        for (int i = 0; i < kCrates; ++i)
            createDynamicBox(-500.0f + 50.0f * (i % 20), 100.0f + 45.0f * (i / 20), 0.0f, 0.8f, 0.8f, 0.9f);
        state.ResumeTiming();
        for (int step = 0; step < kSteps; ++step) {
            getWorld()->Step(0.01f, 5, 6);
            takeSoundCues(cues);  // as a frame would, so the queue stays at its working size
        }
    }
    state.SetLabel(listening ? "with the impact listener" : "without it");
}
}  // namespace

BENCHMARK(BM_LandingPile)->Arg(0)->Arg(1)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
