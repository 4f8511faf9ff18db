// Whole game frames against their floor (bench/frame_floor.cpp: the same GL calls from prepared
// arrays), measured in turn in one run, with the two frames' pixels compared; and the logic
// steps per second of the real loop while a 100,000-quad map is shown and a quad is dragged.
// Run under xvfb-run.
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <box2d/box2d.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "actors/box.h"
#include "actors/car.h"
#include "app/frame_drawing.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "app/text.h"
#include "app/window.h"
#include "core/camera.h"
#include "frame_floor.h"
#include "lighting/lightmap.h"
#include "lighting/shadow_quad.h"
#include "map/map_codec.h"
#include "map/map_editor.h"
#include "map/map_file.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/effects.h"
#include "render/texture.h"
#include "bench_support.h"
#include "support/gl_window.h"

namespace {

using bench::nullOut;
using bench::quietly;

constexpr float kCell = 48.0f;  // grid step, world units
constexpr float kSide = 40.0f;  // square side
constexpr int kViewQuads = 300;
constexpr float kViewW = 1024.0f, kViewH = 600.0f;

// The map of the scale benchmark: 300 squares around the camera, the rest far to the right.
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
        const float corners[8] = {left, top, left + kSide, top, left + kSide, top + kSide, left, top + kSide};
        std::copy(corners, corners + 8, records[static_cast<size_t>(i)].corners);
    }
    return records;
}

void resetMap(int quads) {
    clearActors();
    clearMapQuads(true);
    for (const auto& texture : allTextures()) {
        texture->queues.bursts.clear();
        emptyLightQueue(texture->queues);
        emptySpriteQueue(texture->queues);
    }
    createWorld();
    const std::vector<uint8_t> bytes = encodeMap(mapRecords(quads));
    const MapData map = decodeMap(bytes.data(), bytes.size());
    printMapRecords(map, nullOut);
    createMapQuads(map);
}

uint32_t seed = 1;
float randomIn(float low, float high) {
    seed = seed * 1664525u + 1013904223u;
    return low + (high - low) * static_cast<float>(seed >> 8) / static_cast<float>(1u << 24);
}

// The scenes: map view only; heavy play; the fullest queues.
enum Scene { kMapView300, kMapView100k, kHeavyPlay, kWorstCase };

void buildScene(Scene scene) {
    resetMap(scene == kMapView100k ? 100000 : kViewQuads);
    setCamera(0, 0, kViewW, kViewH, 1, 1, 0);
    seed = 1;
    quietly([scene] {
        if (scene == kHeavyPlay) {
            for (int i = 0; i < 110; ++i) spawnActor<Box>(randomIn(-480, 480), randomIn(-280, 280))->lifetime = 0;
            for (int i = 0; i < 10; ++i) spawnActor<Car>(-400.0f + 90.0f * static_cast<float>(i), -250.0f);
            for (int i = 0; i < 30; ++i) updateStep();  // the bodies push apart and start to fall
        } else if (scene == kWorstCase) {
            // 3,999 boxes fill the sprite queue to its last slot; the first 199 fill the light queue.
            for (int i = 0; i < 3999; ++i) spawnActor<Box>(randomIn(-500, 500), randomIn(-290, 290))->lifetime = 0;
        }
    });
    setCamera(0, 0, kViewW, kViewH, 1, 1, 0);  // cars move the camera while they settle
    quietly([] {
        for (int i = 0; i < 3; ++i) renderFrame();  // light queues hold this frame's lights
    });
}

FloorSheet floorSheet(const Texture& t) { return {t.glName, t.vertices.data(), t.texCoords.data()}; }

int32_t firstVertex(const Texture& t, int32_t frame) { return 4 * (frame % t.frameCount); }

bool lightScissor = true;  // the game's setting, copied into the floor

// What the next game frame will draw, read from the game's state once, as plain arrays.
FloorScene prepareFloor() {
    FloorScene s;
    const Vec2f camera = cameraPosition();
    s.cameraX = camera.x, s.cameraY = camera.y;
    s.lightmapTexture = lightmapTexture();

    LightVertices buffer;
    for (const auto& texture : allTextures()) {
        if (texture->queues.lightCount <= 0) continue;
        FloorLightSheet sheet{floorSheet(*texture), {}};
        for (int32_t i = 0; i < texture->queues.lightCount; ++i) {
            const LightSprite& l = texture->queues.lights[i];
            const float dx = l.x - camera.x, dy = l.y - camera.y;
            if (!(std::sqrt(dx * dx + dy * dy) < 800.0f)) continue;
            buildLightVertices(buffer, texture->vertices.data(), {l.x, l.y});
            FloorLight light;
            light.x = l.x, light.y = l.y, light.angle = l.angle;
            light.red = l.red, light.green = l.green, light.blue = l.blue;
            light.coords = buffer.coords;
            light.half = buffer.half, light.casterCount = buffer.casterCount;
            light.scissor = lightScissor;
            lightScissorBox(texture->vertices.data(), l.x, l.y, l.angle, light.box);
            sheet.lights.push_back(std::move(light));
        }
        s.lightSheets.push_back(std::move(sheet));
    }

    const Texture* background = findTexture("background.png");
    s.background = background->glName;
    const float s0 = camera.x / 512.0f, t0 = camera.y / 512.0f;
    const float s1 = s0 + kViewW / 512.0f, t1 = t0 + kViewH / 512.0f;
    const float tex[8] = {s0, t0, s1, t0, s1, t1, s0, t1};
    const float l = camera.x - kViewW / 2, r = camera.x + kViewW / 2;
    const float top = camera.y - kViewH / 2, bottom = camera.y + kViewH / 2;
    const float vertices[8] = {l, top, r, top, r, bottom, l, bottom};
    std::copy(tex, tex + 8, s.backgroundTexCoords);
    std::copy(vertices, vertices + 8, s.backgroundVertices);

    // Quads meeting the view (with 8 pixels for outlines) in list order; runs of quads more than
    // 2 pixels inside the window share one draw, a quad across its edge is drawn alone.
    FloorMapDraw run;
    const Texture* imageTexture = findTexture("image.png");
    const GLuint image = imageTexture != nullptr ? imageTexture->glName : 0;
    auto flush = [&s, &run] {
        if (!run.vertices.empty()) s.map.push_back(run);
        run = FloorMapDraw{};
    };
    for (const auto& quad : mapQuads()) {
        float minX = HUGE_VALF, maxX = -HUGE_VALF, minY = HUGE_VALF, maxY = -HUGE_VALF;
        bool inside = true;
        for (const Vec2f& v : quad.vertices) {
            minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
            minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
            inside = inside && std::fabs(v.x - camera.x) < kViewW / 2 - 2 &&
                     std::fabs(v.y - camera.y) < kViewH / 2 - 2;
        }
        if (maxX < l - 8 || minX > r + 8 || maxY < top - 8 || minY > bottom + 8) continue;
        const GLuint name = quad.textured ? image : 0;
        if (!inside || name != run.glName) flush();
        run.glName = name;
        for (int k = 0; k < 4; ++k) {
            run.vertices.insert(run.vertices.end(), {quad.vertices[k].x, quad.vertices[k].y});
            run.texCoords.insert(run.texCoords.end(), {quad.texCoords[k].x, quad.texCoords[k].y});
        }
        if (!inside) flush();
    }
    flush();

    // The sprites the actors queue, read from the queues and then taken out again; the lights
    // they queue again are the ones already in the queues.
    std::vector<int32_t> lightCounts;
    for (const auto& texture : allTextures()) lightCounts.push_back(texture->queues.lightCount);
    drawActors();
    for (size_t i = 0; i < allTextures().size(); ++i) allTextures()[i]->queues.lightCount = lightCounts[i];
    for (const auto& texture : allTextures()) {
        const SheetQueues& q = texture->queues;
        if (q.batchCount <= 0) continue;
        FloorSpriteSheet sheet{floorSheet(*texture), {}};
        FloorSpritePass first, second;
        second.additive = true;
        second.alpha = texture->paired ? 1.0f : 0.65f;
        for (int32_t i = 0; i < q.batchCount; ++i) {
            const BatchSprite& b = q.batch[i];
            const int32_t frame = texture->paired ? 2 * (b.frame / 2) : b.frame;
            first.sprites.push_back({4 * frame, b.x, b.y, b.angle});
            second.sprites.push_back({4 * (frame + 1), b.x, b.y, b.angle});
        }
        sheet.passes.push_back(first);
        if (texture->paired) sheet.passes.push_back(second);
        if (!texture->paired && texture->glow) {
            for (FloorSprite& sprite : second.sprites) sprite.firstVertex -= 4;
            sheet.passes.push_back(second);
        }
        s.sprites.push_back(std::move(sheet));
        emptySpriteQueue(texture->queues);
    }

    s.carImage = carTexture()->glName;
    s.carX = static_cast<float>(static_cast<int32_t>(spawnPoint().x + 18.0f));
    s.carY = static_cast<float>(static_cast<int32_t>(spawnPoint().y));
    s.carHalfW = 39, s.carHalfH = 16;

    const Texture& panel = *findTexture("hud0.png");
    const Texture& lamps = *findTexture("hud2.png");
    const Texture& needle = *findTexture("hud1.png");
    s.hud.push_back({floorSheet(panel), firstVertex(panel, 0), 0, 630, 0, 1, true});
    s.hud.push_back({floorSheet(lamps), firstVertex(lamps, 1), 148, 560, 3, 1, false});
    s.hud.push_back({floorSheet(needle), firstVertex(needle, 0), 113, 511, -200, 1, false});
    s.text = formatText("F:%i \n S:%i", frameScheduler().passesPerSecond, frameScheduler().stepsPerSecond);
    return s;
}

std::vector<uint8_t> shownPixels() {
    std::vector<uint8_t> pixels(static_cast<size_t>(kViewW * kViewH * 4));
    glReadBuffer(GL_FRONT);
    glReadPixels(0, 0, 1024, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glReadBuffer(GL_BACK);
    return pixels;
}

double elapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// Game frame and floor frame in turn (the order flips every iteration); the benchmark's time is
// the game frame's, the counters hold both means, their ratio and whether the pixels match.
void BM_FrameAgainstFloor(benchmark::State& state) {
    const auto scene = static_cast<Scene>(state.range(0));
    lightScissor = state.range(1) != 0;
    setLightScissorEnabled(lightScissor);
    buildScene(scene);
    const FloorScene floor = prepareFloor();
    renderFrame();
    glFinish();
    const std::vector<uint8_t> gamePixels = shownPixels();
    drawFloorFrame(floor);
    glFinish();
    const bool identical = gamePixels == shownPixels();

    double gameMs = 0, floorMs = 0;
    bool gameFirst = true;
    for (auto _ : state) {
        double game = 0;
        for (int turn = 0; turn < 2; ++turn) {
            const auto start = std::chrono::steady_clock::now();
            if (gameFirst == (turn == 0)) {
                renderFrame();
                glFinish();
                game = elapsedMs(start);
            } else {
                drawFloorFrame(floor);
                glFinish();
                floorMs += elapsedMs(start);
            }
        }
        gameMs += game;
        gameFirst = !gameFirst;
        state.SetIterationTime(game / 1000.0);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["game_ms"] = gameMs / n;
    state.counters["floor_ms"] = floorMs / n;
    state.counters["ratio"] = gameMs / floorMs;
    state.counters["pixels_identical"] = identical ? 1 : 0;
    int32_t lights = 0, casters = 0, sprites = 0;
    for (const FloorLightSheet& sheet : floor.lightSheets) {
        for (const FloorLight& light : sheet.lights) ++lights, casters += light.casterCount;
    }
    for (const FloorSpriteSheet& sheet : floor.sprites) sprites += static_cast<int32_t>(sheet.passes[0].sprites.size());
    state.counters["lights"] = lights;
    state.counters["casters"] = casters;
    state.counters["sprites"] = sprites;
    const char* names[] = {"map view, 300 quads", "map view, 100000 quads",
                           "heavy play: 110 boxes, 10 cars, 300 quads", "worst case: 199 lights, 3999 sprites"};
    state.SetLabel(std::string(names[scene]) + (lightScissor ? "" : ", lights not cut to their boxes"));
    setLightScissorEnabled(true);
    clearActors();
}
BENCHMARK(BM_FrameAgainstFloor)
    ->Args({kMapView300, 1})
    ->Args({kMapView100k, 1})
    ->Iterations(150)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_FrameAgainstFloor)->Args({kHeavyPlay, 1})->Args({kHeavyPlay, 0})->Iterations(20)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_FrameAgainstFloor)->Args({kWorstCase, 1})->Args({kWorstCase, 0})->Iterations(6)->Unit(benchmark::kMillisecond)->UseManualTime();

double frameMsTotal = 0;
void timedFrame() {
    const auto start = std::chrono::steady_clock::now();
    renderFrame();
    glFinish();
    frameMsTotal += elapsedMs(start);
}

// The real loop on the window system's clock for five seconds over a 100,000-quad map, while
// the mouse selects a quad in view, grabs it and drags it back and forth, one motion event every
// 8 ms (a busy hand); the counters are the loop's own published figures, the ones on the HUD.
void BM_StepsWhileEditingLargeMap(benchmark::State& state) {
    const bool editing = state.range(0) != 0;
    resetMap(100000);
    setCamera(0, 0, kViewW, kViewH, 1, 1, 0);
    // Box2D's own step on this world, the floor of a logic step.
    const auto rawStart = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) getWorld()->Step(0.01f, 5, 6);
    state.counters["raw_box2d_step_ms"] = elapsedMs(rawStart) / 100;
    Host timed = windowHost();
    timed.frame = timedFrame;
    const ScopedHost host(timed);
    frameMsTotal = 0;
    int32_t allFrames = 0, allSteps = 0;
    double passMs = 0, moveMs = 0;
    const int quadX = 52, quadY = 56;  // window pixels inside the square at (-480, -264)
    int32_t slowest = 1 << 30, fastest = 0, seconds = 0, frames = 0, drags = 0;
    for (auto _ : state) {
        resetScheduler();
        primeLoop();
        FrameScheduler schedule = frameScheduler();
        schedule.nextSecond = readClock() + 1000;
        setFrameScheduler(schedule);
        onMouseMove(quadX, quadY);
        onMouseButton(0, 0, quadX, quadY);  // select
        onMouseButton(0, 1, quadX, quadY);
        onMouseButton(0, 0, quadX, quadY);  // grab
        const int32_t start = readClock();
        int32_t lastMotion = start, published = frameScheduler().nextSecond;
        while (readClock() - start < 5000) {
            const int32_t framesBefore = frameScheduler().frames, stepsBefore = frameScheduler().steps;
            const auto passStart = std::chrono::steady_clock::now();
            runPass();
            passMs += elapsedMs(passStart);
            allFrames += frameScheduler().frames > framesBefore ? 1 : 0;
            allSteps += frameScheduler().steps > stepsBefore ? frameScheduler().steps - stepsBefore : 0;
            if (frameScheduler().nextSecond != published) {
                published = frameScheduler().nextSecond;
                if (published - start > 1500) {  // the first second holds the start-up
                    slowest = std::min(slowest, frameScheduler().stepsPerSecond);
                    fastest = std::max(fastest, frameScheduler().stepsPerSecond);
                    frames += frameScheduler().framesPerSecond;
                    ++seconds;
                }
            }
            if (editing && readClock() - lastMotion >= 8) {
                lastMotion = readClock();
                const auto moveStart = std::chrono::steady_clock::now();
                onMouseMove(quadX + ((drags++ / 10) % 2 == 0 ? drags % 10 : 10 - drags % 10) * 4, quadY);
                moveMs += elapsedMs(moveStart);
            }
        }
        onMouseButton(0, 1, quadX, quadY);  // snap on release
    }
    state.counters["frame_ms"] = frameMsTotal / std::max(allFrames, 1);
    state.counters["steps_in_5_s"] = allSteps;
    state.counters["step_ms"] = (passMs - frameMsTotal) / std::max(allSteps, 1);
    state.counters["motion_ms"] = moveMs / std::max(drags, 1);
    state.counters["steps_per_s_min"] = slowest;
    state.counters["steps_per_s_max"] = fastest;
    state.counters["frames_per_s"] = seconds > 0 ? static_cast<double>(frames) / seconds : 0.0;
    state.counters["motions_per_s"] = drags / 5.0;
 state.SetLabel(std::string(editing ? "100000 quads, a quad dragged" : "100000 quads, no input") + ", real clock, " + std::to_string(seconds) + " seconds published");
}
BENCHMARK(BM_StepsWhileEditingLargeMap)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);

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
