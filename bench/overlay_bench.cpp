// overlay_bench.cpp: what each overlay adds to a frame while shown: the timing overlay (i) and the
// physics overlay (b) over a sandbox of 110 crates on the starter map, each drawn alone and
// finished with glFinish, against glFinish alone. Run under xvfb-run.
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <box2d/box2d.h>

#include "actors/actor.h"
#include "actors/box.h"
#include "app/frame_timing.h"
#include "app/physics_overlay_drawing.h"
#include "app/timing_overlay.h"
#include "bench_support.h"
#include "core/camera.h"
#include "game/main_loop.h"
#include "game/map_loading.h"
#include "physics/physics_world.h"
#include "render/view.h"

namespace {

void BM_FinishAlone(benchmark::State& state) {
    for (auto _ : state) glFinish();
}
BENCHMARK(BM_FinishAlone)->Unit(benchmark::kMicrosecond);

// A frame between two publications: the text comes from its texture.
void BM_TimingOverlay(benchmark::State& state) {
    prepareTimingOverlay();
    for (auto _ : state) {
        drawTimingOverlay();
        glFinish();
    }
}
BENCHMARK(BM_TimingOverlay)->Unit(benchmark::kMicrosecond);

// The frame after a publication: the text drawn anew into the texture, then the overlay.
void BM_TimingOverlayRenewed(benchmark::State& state) {
    double clock = 4000.0;
    for (auto _ : state) {
        publishTimingIfDue(clock += 1000.0);
        prepareTimingOverlay();
        drawTimingOverlay();
        glFinish();
    }
}
BENCHMARK(BM_TimingOverlayRenewed)->Unit(benchmark::kMicrosecond);

// The world transform of a frame, with the physics overlay inside it.
void BM_PhysicsOverlay(benchmark::State& state) {
    for (auto _ : state) {
        applyWorldProjection();
        glPushMatrix();
        applyWorldTransform();
        drawPhysicsOverlay();
        glPopMatrix();
        glFinish();
    }
    state.SetLabel(std::to_string(getWorld()->GetBodyCount()) + " bodies, " +
                   std::to_string(getWorld()->GetContactCount()) + " contacts");
}
BENCHMARK(BM_PhysicsOverlay)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!bench::openWindowWithSheets()) return 1;
    bench::quietly([] {
        loadMap();
        for (int i = 0; i < 110; ++i) spawnActor<Box>(-440.0f + 8.0f * static_cast<float>(i), -250.0f);
        for (int i = 0; i < 100; ++i) updateStep();  // fallen and touching
    });
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    setWindowSize(1024, 600);
    // A full graph and figures to print.
    for (size_t i = 0; i < kFrameHistory; ++i) noteFrame(3.0, 9.0);
    publishTimingIfDue(0.0);
    publishTimingIfDue(2000.0);
    benchmark::AddCustomContext("GL renderer", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
