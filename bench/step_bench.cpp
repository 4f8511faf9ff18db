// The logic step with 110, 1,000 and 4,000 boxes on the 300-quad block against Box2D alone on a
// copy of the same bodies, the two stepped in turn from the same settled pile, so both see the
// same machine load; the counters hold the min and median of each side's steps (µs) and the
// ratio of the medians. The copy lists its fixtures in another order, so from the first step its
// contacts are solved in another order too and a tall pile soon lies differently in each world.
#include <benchmark/benchmark.h>
#include <box2d/box2d.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "actors/box.h"
#include "bench_support.h"
#include "game/main_loop.h"
#include "map/map_codec.h"
#include "map/map_file.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"

namespace {

using Clock = std::chrono::steady_clock;

// The scale benchmark's view block: 300 squares of 40 units around the origin.
std::vector<QuadRecord> block() {
    std::vector<QuadRecord> records(300);
    for (int i = 0; i < 300; ++i) {
        const float left = -480.0f + 48.0f * static_cast<float>(i % 20);
        const float top = -360.0f + 48.0f * static_cast<float>(i / 20);
        const float corners[8] = {left, top, left + 40.0f, top, left + 40.0f, top + 40.0f, left, top + 40.0f};
        std::copy(corners, corners + 8, records[static_cast<size_t>(i)].corners);
    }
    return records;
}

void setUp(int boxes) {
    clearActors();
    clearMapQuads(true);
    createWorld();
    const std::vector<uint8_t> bytes = encodeMap(block());
    createMapQuads(decodeMap(bytes.data(), bytes.size()));
    bench::quietly([boxes] {
        for (int i = 0; i < boxes; ++i) {
            const float x = -470.0f + 34.0f * static_cast<float>(i % 28);
            const float y = -420.0f - 34.0f * static_cast<float>(i / 28);
            spawnActor<Box>(x, y)->lifetime = 0;  // lives as long as the benchmark
        }
        for (int i = 0; i < 300; ++i) updateStep();  // the pile settles
    });
}

double usSince(Clock::time_point since) {
    return std::chrono::duration<double, std::micro>(Clock::now() - since).count();
}

struct Samples {
    std::vector<double> us;
    double min() const { return *std::min_element(us.begin(), us.end()); }
    double median() {
        std::nth_element(us.begin(), us.begin() + static_cast<std::ptrdiff_t>(us.size() / 2), us.end());
        return us[us.size() / 2];
    }
};

void BM_StepAgainstBox2D(benchmark::State& state) {
    const int boxes = static_cast<int>(state.range(0));
    setUp(boxes);
    b2World bare(getWorld()->GetGravity());
    for (b2Body* body = getWorld()->GetBodyList(); body != nullptr; body = body->GetNext()) cloneBody(*body, bare);
    Samples game, floor;
    std::streambuf* console = std::cout.rdbuf(&bench::nullBuffer);
    for (auto _ : state) {
        auto start = Clock::now();
        updateStep();
        game.us.push_back(usSince(start));
        start = Clock::now();
        bare.Step(0.01f, 5, 6);
        floor.us.push_back(usSince(start));
        state.SetIterationTime(game.us.back() / 1e6);
    }
    std::cout.rdbuf(console);
    state.counters["game_min_us"] = game.min();
    state.counters["game_median_us"] = game.median();
    state.counters["box2d_min_us"] = floor.min();
    state.counters["box2d_median_us"] = floor.median();
    state.counters["ratio"] = game.median() / floor.median();
    state.counters["game_contacts"] = static_cast<double>(getWorld()->GetContactCount());
    state.counters["box2d_contacts"] = static_cast<double>(bare.GetContactCount());
    state.SetLabel(std::to_string(boxes) + " boxes, 300 quads");
    clearActors();
}
BENCHMARK(BM_StepAgainstBox2D)->Arg(110)->Arg(1000)->Arg(4000)->Iterations(300)->Unit(benchmark::kMicrosecond)->UseManualTime();

}  // namespace

// With the window and sheets the game has, as the scale benchmark runs its steps; under xvfb-run.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!bench::openWindowWithSheets()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
