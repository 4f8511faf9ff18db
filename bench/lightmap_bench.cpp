// Frame time with the lightmap pass at several light and map sizes, and the per-light cost of
// building the shadow geometry. Needs a display: run under xvfb-run.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <sstream>

#include "core/camera.h"
#include "app/frame_drawing.h"
#include "lighting/shadow_quad.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/effects.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {

// Map quads on a grid over the 1024 x 600 view, with gaps so no edge is covered.
void buildMap(int quadCount) {
    clearMapQuads(true);
    const int columns = quadCount == 200 ? 20 : 10;
    const int rows = quadCount / columns;
    const float cellW = 1024.0f / columns;
    const float cellH = 600.0f / rows;
    const float size = 0.45f * (cellW < cellH ? cellW : cellH);
    for (int i = 0; i < quadCount; ++i) {
        const float left = -512.0f + cellW * (i % columns) + cellW * 0.3f;
        const float top = -300.0f + cellH * (i / columns) + cellH * 0.3f;
        auto* quad = &registerQuad();
        setGeometry(*quad, left, top, left + size, top, left + size, top + size, left,
                    top + size);
    }
}

// The box's light colour, at fixed pseudo-random places over the view.
void queueLights(Texture& sheet, int lightCount) {
    uint32_t seed = 12345;
    for (int i = 0; i < lightCount; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float x = -500.0f + static_cast<float>(seed % 1000);
        seed = seed * 1664525u + 1013904223u;
        const float y = -290.0f + static_cast<float>(seed % 580);
        pushLight(sheet, x, y, 0.0f, 0.38f, 0.35f, 0.25f, 0);
    }
}

void BM_Frame(benchmark::State& state) {
    const int quads = static_cast<int>(state.range(0));
    const int lights = static_cast<int>(state.range(1));
    buildMap(quads);
    Texture& sheet = *findTexture("light1.png");
    for (auto _ : state) {
        queueLights(sheet, lights);
        renderFrame();
        glFinish();
    }
    state.SetLabel(std::to_string(quads) + " quads, " + std::to_string(lights) + " lights");
}
BENCHMARK(BM_Frame)
    ->ArgsProduct({{50, 200}, {0, 10, 50, 199}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ShadowGeometryPerLight(benchmark::State& state) {
    const int quads = static_cast<int>(state.range(0));
    buildMap(quads);
    const Texture& sheet = *findTexture("light1.png");
    LightVertices buffer;
    for (auto _ : state) {
        buildLightVertices(buffer, sheet.vertices.data(), {0.0f, 0.0f});
        benchmark::DoNotOptimize(buffer.coords.data());
    }
    state.SetLabel(std::to_string(buffer.casterCount) + " casting quads");
}
BENCHMARK(BM_ShadowGeometryPerLight)->Arg(50)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    openTestWindow(1024, 600);
    if (chdir(KELVORAN_ASSETS) != 0) {
        std::perror(KELVORAN_ASSETS);
        return 1;
    }
    // The sheet-loading lines would bury the figures.
    std::ostringstream loadingLines;
    std::streambuf* console = std::cout.rdbuf(loadingLines.rdbuf());
    loadAllTextures();
    std::cout.rdbuf(console);
    createWorld();
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    // Frame times depend mostly on the rasteriser; name it next to the figures.
    benchmark::AddCustomContext("GL renderer",
                                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
