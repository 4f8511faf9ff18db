// Scale figures, each beside its floor: the logic step against a bare b2World::Step on the same
// bodies, map loading with the quad index and with plain list scans, editor operations and
// point queries on 100,000 quads, map frames against a single array draw of the same quads,
// heap allocations per step and per frame, and start-up to the first frame. Run under xvfb-run.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <box2d/box2d.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "actors/box.h"
#include "actors/car.h"
#include "app/frame_drawing.h"
#include "game/invariants.h"
#include "core/chunked_echo.h"
#include "core/heap_upkeep.h"
#include "game/host.h"
#include "game/main_loop.h"
#include "game/game.h"
#include "core/camera.h"
#include "map/map_codec.h"
#include "map/map_draw.h"
#include "map/map_editor.h"
#include "map/map_file.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "physics/static_shapes.h"
#include "map/quad_index.h"
#include "render/effects.h"
#include "render/texture.h"
#include "bench_support.h"
#include "support/gl_window.h"

// Every heap allocation of the program, counted. The replacements pair malloc with free by
// design, which GCC cannot see through once they are inlined.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
std::atomic<long> allocations{0};
}  // namespace
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using bench::nullOut;
using bench::nullBuffer;
using bench::quietly;

constexpr float kCell = 48.0f;  // grid step, world units
constexpr float kSide = 40.0f;  // square side: 8-unit gaps, so no edge is covered
constexpr int kViewQuads = 300;

// Records of a map: the first 300 squares form a 20 x 15 block around the origin, where the
// camera looks; the rest lie in a wide grid far to the right, out of view and out of light range.
std::vector<QuadRecord> mapRecords(int count) {
    std::vector<QuadRecord> records(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        float left, top;
        if (i < kViewQuads) {
            left = -480.0f + kCell * static_cast<float>(i % 20);
            top = -360.0f + kCell * static_cast<float>(i / 20);
        } else {
            const int j = i - kViewQuads;
            left = 2000.0f + kCell * static_cast<float>(j % 300);
            top = -7000.0f + kCell * static_cast<float>(j / 300);
        }
        float* c = records[static_cast<size_t>(i)].corners;
        const float corners[8] = {left, top, left + kSide, top, left + kSide, top + kSide, left, top + kSide};
        std::copy(corners, corners + 8, c);
    }
    return records;
}

// Resident set size from /proc/self/statm, in bytes.
double residentBytes() {
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

void clearBursts() {
    for (const auto& texture : allTextures()) texture->queues.bursts.clear();
}

// What loadMap does with a file's bytes: a new world, the echoed records, the quads.
void loadBytes(const std::vector<uint8_t>& bytes) {
    createWorld();
    const MapData map = decodeMap(bytes.data(), bytes.size());
    printMapRecords(map, nullOut);
    createMapQuads(map);
}

void resetMap(int quads) {
    clearActors();
    clearMapQuads(true);
    clearBursts();
    const std::vector<uint8_t> bytes = encodeMap(mapRecords(quads));
    loadBytes(bytes);
    // The game's first step pairs the new fixtures once; until then Box2D scans its whole list
    // of new shapes for every one removed, which would make the next reset quadratic.
    getWorld()->Step(0.01f, 5, 6);
}

void BM_LoadMap(benchmark::State& state) {
    const bool indexed = state.range(1) != 0;
    const std::vector<uint8_t> bytes = encodeMap(mapRecords(static_cast<int>(state.range(0))));
    setQuadIndexEnabled(indexed);
    for (auto _ : state) {
        state.PauseTiming();
        // The world goes whole, then the quads: a load never stepped would make removing its
        // fixtures one by one quadratic in Box2D's list of new shapes.
        destroyWorld();
        clearMapQuads(false);
        clearBursts();
        state.ResumeTiming();
        loadBytes(bytes);
    }
    setQuadIndexEnabled(true);
    state.SetLabel(indexed ? "indexed" : "linear scans");
}
BENCHMARK(BM_LoadMap)
    ->ArgsProduct({{1000, 2000, 4000, 8000, 10000, 16000, 32000, 100000, 300000, 1000000}, {1}})
    ->ArgsProduct({{1000, 2000, 4000, 8000, 16000}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The Debug build's invariant checks on a 100,000-quad map: what a step pays when the map did not
// change (sampled), at a map load or when the map changed (the map's part whole), and everything
// as the fuzz targets check it.
void BM_InvariantChecks(benchmark::State& state) {
    resetMap(100000);
    const int64_t kind = state.range(0);
    for (auto _ : state) {
        std::string why;
        const bool hold = kind == 2 ? gameInvariantsHold(InvariantScope::Whole, why)
                                    : gameInvariantsHold(InvariantScope::Sampled, why, kind == 1);
        if (!hold) state.SkipWithError(why.c_str());
    }
    const char* labels[] = {"sampled step, map unchanged", "map part whole", "everything"};
    state.SetLabel(std::string(labels[kind]) + ", 100000 quads");
}
BENCHMARK(BM_InvariantChecks)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The load as loadMap does it, every record line written to a file (/dev/null) through the
// loader's chunked echo, then the first step, where Box2D pairs up the new fixtures once.
void BM_LoadMapEchoed(benchmark::State& state) {
    const std::vector<uint8_t> bytes = encodeMap(mapRecords(static_cast<int>(state.range(0))));
    std::ofstream sink("/dev/null");
    double firstStep = 0.0, perQuad = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        clearActors();
        destroyWorld();
        clearMapQuads(false);
        clearBursts();
        returnFreedHeap();
        const double before = residentBytes();
        state.ResumeTiming();
        createWorld();
        {
            const MapData map = decodeMap(bytes.data(), bytes.size());
            ChunkedEcho chunks(sink);
            std::ostream echo(&chunks);
            printMapRecords(map, echo);
            echo.flush();
            createMapQuads(map);
        }
        state.PauseTiming();
        const auto start = std::chrono::steady_clock::now();
        getWorld()->Step(0.01f, 5, 6);
        firstStep = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        returnFreedHeap();  // what loadMap does after a reload
        perQuad = (residentBytes() - before) / static_cast<double>(state.range(0));
        state.ResumeTiming();
    }
    // Quads whose own fixture cannot stand for them in the index keep a box of its own.
    state.counters["quads_with_boxes"] = static_cast<double>(quadIndexCounts().byBox);
    state.counters["first_step_s"] = firstStep;
    state.counters["resident_bytes_per_quad"] = perQuad;
    state.SetLabel("loadMap's work, every record line written");
}
BENCHMARK(BM_LoadMapEchoed)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The floor of a load: Box2D alone making the same polygons as fixtures of capped static bodies.
void BM_LoadFloor(benchmark::State& state) {
    const std::vector<QuadRecord> records = mapRecords(static_cast<int>(state.range(0)));
    double perQuad = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        returnFreedHeap();
        const double before = residentBytes();
        state.ResumeTiming();
        auto world = std::make_unique<b2World>(b2Vec2(0.0f, 55.0f));
        b2BodyDef def;
        b2Body* body = nullptr;
        int32_t onBody = kFixturesPerStaticBody;
        for (const QuadRecord& record : records) {
            if (onBody == kFixturesPerStaticBody) {
                body = world->CreateBody(&def);
                onBody = 0;
            }
            b2Vec2 points[4];
            for (int k = 0; k < 4; ++k) points[k].Set(toMetres(record.corners[2 * k]), toMetres(record.corners[2 * k + 1]));
            b2PolygonShape shape;
            shape.Set(points, 4);
            body->CreateFixture(&shape, 0.0f);
            ++onBody;
        }
        state.PauseTiming();  // the world's teardown is not part of a load
        world->Step(0.01f, 5, 6);  // as the game's first step, which settles the broad phase
        returnFreedHeap();
        perQuad = (residentBytes() - before) / static_cast<double>(state.range(0));
        world.reset();
        state.ResumeTiming();
    }
    state.counters["resident_bytes_per_quad"] = perQuad;
    state.SetLabel("floor: b2World fixtures alone");
}
BENCHMARK(BM_LoadFloor)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Point queries and editor operations on a 100,000-quad map, indexed or scanning.
void BM_FindQuadAt(benchmark::State& state) {
    resetMap(100000);  // loaded with the index: scanning would take hours
    setQuadIndexEnabled(state.range(0) != 0);
    uint32_t seed = 1;
    for (auto _ : state) {
        seed = seed * 1664525u + 1013904223u;
        const Vec2f p{-500.0f + static_cast<float>(seed % 1000), -380.0f + static_cast<float>((seed >> 10) % 760)};
        benchmark::DoNotOptimize(findQuadAt(p));
    }
    setQuadIndexEnabled(true);
    state.SetLabel(state.range(0) != 0 ? "indexed, 100000 quads" : "linear scan, 100000 quads");
}
BENCHMARK(BM_FindQuadAt)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

const Vec2f kQuadA{-460.0f, -340.0f};  // inside the first square
const Vec2f kQuadB{-412.0f, -340.0f};  // inside the second

void BM_EditorSelectPress(benchmark::State& state) {
    resetMap(static_cast<int>(state.range(0)));
    bool flip = false;
    for (auto _ : state) {
        editorMouseDown(flip ? kQuadA : kQuadB);  // selects one, deselects the other
        editorMouseUp();
        flip = !flip;
    }
    state.SetLabel("press and release, " + std::to_string(state.range(0)) + " quads");
}
BENCHMARK(BM_EditorSelectPress)->Arg(300)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_EditorDragSelected(benchmark::State& state) {
    resetMap(static_cast<int>(state.range(0)));
    editorMouseDown(kQuadA);
    editorMouseUp();
    // The first motion also walks the oldest quad's shared body to unlink its first fixture;
    // afterwards the quad's fixture is the body's newest, first in its list.
    const auto start = std::chrono::steady_clock::now();
    editorDrag({0.0f, 0.0f});
    state.counters["first_motion_us"] =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    for (auto _ : state) editorDrag({0.0f, 0.0f});  // replaces the selected quad's fixture
    editorMouseDown({-5000.0f, -5000.0f});
    state.SetLabel("motion over a selected quad, " + std::to_string(state.range(0)) + " quads");
}
BENCHMARK(BM_EditorDragSelected)->Arg(300)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void BM_EditorDragGrabbed(benchmark::State& state) {
    resetMap(static_cast<int>(state.range(0)));
    editorMouseDown(kQuadA);
    editorMouseDown(kQuadA);  // grabs the whole quad
    float step = 1.0f;
    for (auto _ : state) {
        editorDrag({step, 0.0f});
        step = -step;
    }
    editorMouseUp();
    editorMouseDown({-5000.0f, -5000.0f});
    state.SetLabel("motion dragging a whole quad, " + std::to_string(state.range(0)) + " quads");
}
BENCHMARK(BM_EditorDragGrabbed)->Arg(300)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_EditorGrabAndSnap(benchmark::State& state) {
    resetMap(static_cast<int>(state.range(0)));
    editorMouseDown(kQuadA);
    editorMouseUp();
    for (auto _ : state) {
        editorMouseDown(kQuadA);  // grab
        editorMouseUp();          // snap on release
    }
    state.SetLabel("grab press and snapping release, " + std::to_string(state.range(0)) + " quads");
}
BENCHMARK(BM_EditorGrabAndSnap)->Arg(300)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The logic step with n boxes resting on the 300-quad block, against Box2D alone on a copy of
// the very same bodies.
void spawnBoxes(int count) {
    quietly([count] {
        for (int i = 0; i < count; ++i) {
            const float x = -470.0f + 34.0f * static_cast<float>(i % 28);
            const float y = -420.0f - 34.0f * static_cast<float>(i / 28);
            Actor* box = spawnActor<Box>(x, y);
            box->lifetime = 0;  // lives as long as the benchmark
        }
    });
}

void settle() {
    quietly([] {
        for (int i = 0; i < 300; ++i) updateStep();
    });
}

void BM_StepGame(benchmark::State& state) {
    resetMap(kViewQuads);
    spawnBoxes(static_cast<int>(state.range(0)));
    settle();
    std::streambuf* console = std::cout.rdbuf(&nullBuffer);
    for (auto _ : state) updateStep();
    std::cout.rdbuf(console);
    state.SetLabel(std::to_string(state.range(0)) + " boxes, 300 quads: game step");
}

void BM_StepBox2D(benchmark::State& state) {
    resetMap(kViewQuads);
    spawnBoxes(static_cast<int>(state.range(0)));
    settle();
    b2World raw(getWorld()->GetGravity());
    for (b2Body* body = getWorld()->GetBodyList(); body != nullptr; body = body->GetNext()) {
        cloneBody(*body, raw);
    }
    for (auto _ : state) raw.Step(0.01f, 5, 6);
    state.SetLabel(std::to_string(state.range(0)) + " boxes, 300 quads: b2World::Step alone");
}
// Both run the same number of steps from the same settled state.
BENCHMARK(BM_StepGame)->Arg(110)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond)->Iterations(300);
BENCHMARK(BM_StepBox2D)->Arg(110)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond)->Iterations(300);

// 110 boxes on the 300-quad block, the block alone or beside a wide grid of quads out of view.
void BM_StepBesideMap(benchmark::State& state) {
    resetMap(static_cast<int>(state.range(0)));
    spawnBoxes(110);
    settle();
    std::streambuf* console = std::cout.rdbuf(&nullBuffer);
    for (auto _ : state) updateStep();
    std::cout.rdbuf(console);
    state.SetLabel("110 boxes beside " + std::to_string(state.range(0)) + " quads: game step");
}
BENCHMARK(BM_StepBesideMap)->Arg(300)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Iterations(3000);

// The game's own loop on the real clock for three seconds, a frame every 20 ms and a step every
// 10 ms, with the selected quad dragged by one unit on every pass, as the mouse does.
int32_t realClock() {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start).count());
}
void frameAndFinish() {
    renderFrame();
    glFinish();
}
void BM_StepsPerSecondDragging(benchmark::State& state) {
    resetMap(static_cast<int>(state.range(0)));
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    spawnBoxes(110);
    settle();
    Host timed = headlessHost();
    timed.clock = realClock;
    timed.frame = frameAndFinish;
    ScopedHost scoped(timed);
    editorMouseDown(kQuadA);
    editorMouseUp();
    double steps = 0.0, frames = 0.0;
    std::streambuf* console = std::cout.rdbuf(&nullBuffer);
    for (auto _ : state) {
        resetScheduler();
        primeLoop();
        const int32_t start = readClock();
        float step = 1.0f;
        while (readClock() - start < 3200) {  // three whole counted seconds
            editorDrag({step, 0.0f});
            step = -step;
            runPass();
        }
        steps = frameScheduler().stepsPerSecond;
        frames = frameScheduler().framesPerSecond;
    }
    std::cout.rdbuf(console);
    editorMouseDown({-5000.0f, -5000.0f});
    state.counters["steps_per_s"] = steps;
    state.counters["frames_per_s"] = frames;
    state.SetLabel("game loop, map shown, a quad dragged, " + std::to_string(state.range(0)) + " quads");
}
BENCHMARK(BM_StepsPerSecondDragging)->Arg(300)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Frames of the map view: the whole frame over the 300-quad block alone and inside a
// 100,000-quad map, and the map drawing against its floor, one array draw of the visible quads.
void BM_Frame(benchmark::State& state) {
    resetMap(static_cast<int>(state.range(0)));
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    for (auto _ : state) {
        renderFrame();
        glFinish();
    }
    state.SetLabel("whole frame, map view, " + std::to_string(state.range(0)) + " quads");
}
BENCHMARK(BM_Frame)->Arg(300)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void worldView() {
    glViewport(0, 0, 1024, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-512, 512, 300, -300, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
}

void BM_MapDraw(benchmark::State& state) {
    resetMap(static_cast<int>(state.range(0)));
    worldView();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        drawMap();
        glFinish();
    }
    state.SetLabel("drawMap, " + std::to_string(state.range(0)) + " quads in the map");
}
BENCHMARK(BM_MapDraw)->Arg(300)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: the same visible quads in one prepared array, drawn with one call.
void BM_MapDrawFloor(benchmark::State& state) {
    resetMap(kViewQuads);
    worldView();
    std::vector<Vec2f> vertices, texCoords;
    for (const auto& quad : mapQuads()) {
        vertices.insert(vertices.end(), quad.vertices, quad.vertices + 4);
        texCoords.insert(texCoords.end(), quad.texCoords, quad.texCoords + 4);
    }
    const GLuint texture = findTexture("image.png")->glName;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glBindTexture(GL_TEXTURE_2D, texture);
        glVertexPointer(2, GL_FLOAT, 0, vertices.data());
        glTexCoordPointer(2, GL_FLOAT, 0, texCoords.data());
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(vertices.size()));
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisable(GL_TEXTURE_2D);
        glFinish();
    }
    state.SetLabel("floor: one array draw of the same 300 quads");
}
BENCHMARK(BM_MapDrawFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

// Heap allocations in steady state: 110 boxes and a car on the 300-quad block, lights on.
void BM_AllocationsPerStepAndFrame(benchmark::State& state) {
    resetMap(kViewQuads);
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    spawnBoxes(110);
    quietly([] { spawnActor<Car>(0.0f, -450.0f); });
    settle();
    std::streambuf* console = std::cout.rdbuf(&nullBuffer);
    for (int i = 0; i < 20; ++i) renderFrame();  // queues reach their working size
    long perStep = 0, perFrame = 0;
    constexpr int kRounds = 40;
    for (auto _ : state) {
        const long before = allocations.load();
        for (int i = 0; i < kRounds; ++i) updateStep();
        const long afterSteps = allocations.load();
        for (int i = 0; i < kRounds; ++i) renderFrame();
        glFinish();
        perStep = afterSteps - before;
        perFrame = allocations.load() - afterSteps;
    }
    std::cout.rdbuf(console);
    state.counters["allocs_per_step"] = static_cast<double>(perStep) / kRounds;
    state.counters["allocs_per_frame"] = static_cast<double>(perFrame) / kRounds;
    state.SetLabel("110 boxes, 1 car, 300 quads");
}
BENCHMARK(BM_AllocationsPerStepAndFrame)->Iterations(1)->Unit(benchmark::kMillisecond);

// Start-up as the game does it (sheets, the starter map.txt, timers) and the first frame; the
// window already exists.
void noWindow(int&, char**) { setWindowSize(1024, 600); }
void BM_StartUpToFirstFrame(benchmark::State& state) {
    int argc = 1;
    char name[] = "kelvoran";
    char* argv[] = {name, nullptr};
    for (auto _ : state) {
        state.PauseTiming();
        shutdownGame(true);
        state.ResumeTiming();
        quietly([&] { startGame(argc, argv, false, noWindow); });
        renderFrame();
        glFinish();
    }
    state.SetLabel("sheets, starter map, first frame");
}
BENCHMARK(BM_StartUpToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!bench::openWindowWithSheets()) return 1;
    createWorld();
    setWindowSize(1024, 600);
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    benchmark::AddCustomContext("GL renderer",
                                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
