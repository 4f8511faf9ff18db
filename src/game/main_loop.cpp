// main_loop.cpp: one pass of the loop: statistics, at most one frame, every logic step that is
// owed, then the time until the next step or frame handed back to the host.
#include "game/main_loop.h"

#include <box2d/box2d.h>

#include <algorithm>
#include <cassert>

#include "actors/actor.h"
#include "actors/box.h"
#include "game/grab.h"
#include "game/host.h"
#include "game/level_presentation.h"
#include "game/input.h"
#include "game/level_script.h"
#include "game/invariants.h"
#include "game/sandbox.h"
#include "game/sandbox_limits.h"
#include "game/step_commands.h"
#include "core/camera.h"
#include "core/keyboard.h"
#include "physics/physics_world.h"
#include "render/effects.h"

namespace {
FrameScheduler scheduler;

constexpr int32_t kStepMs = 10;
constexpr int32_t kFrameMs = 20;
constexpr int32_t kFirstStepDelayMs = 20;
constexpr int32_t kFirstFrameDelayMs = 40;
constexpr int32_t kSecondMs = 1000;
// A machine slower than real time would otherwise owe more steps every pass and never draw
// again; past this many steps (250 ms of game time) the remaining debt is forgiven.
constexpr int32_t kMaxStepsPerPass = 25;
constexpr float kStepSeconds = 0.01f;
constexpr int32_t kVelocityIterations = 5;
constexpr int32_t kPositionIterations = 6;
constexpr float kScrollPerStep = 2.0f;  // world units per held key
constexpr int kSpaceKey = 32;

void scrollCameraByKeys() {
    const Vec2f position = cameraPosition();
    const Vec2f scale = zoom();
    // This program's player's keys: each player of a shared session scrolls their own view.
    const int player = localPlayer();
    const int w = isPlayerKeyDown(player, 'w'), s = isPlayerKeyDown(player, 's');
    const int d = isPlayerKeyDown(player, 'd'), a = isPlayerKeyDown(player, 'a');
    // The same pace on screen at every zoom, so a level seen whole still scrolls at a usable speed.
    const float stepX = kScrollPerStep / scale.x, stepY = kScrollPerStep / scale.y;
    setCamera(position.x + stepX * d - stepX * a, position.y - stepY * w + stepY * s, 0, 0, scale.x,
              scale.y, 0.0f);
}

// The step number stands for the time the step would run at, so crates keep their irregular
// pace without the logic reading the clock.
int32_t crateTime() {
    if (cratesPacedByClock()) return readClock();
    return static_cast<int32_t>(static_cast<uint32_t>(currentStep() * kStepMs));
}

// Each player holding space sprinkles at their own cursor, player 0 first; the pace is one for
// all, so the clock of an old recording is read only while its one player holds the key.
void spawnBoxIfDue() {
    if (!levelAllows().spawn) return;
    for (uint8_t player = 0; player < kPlayerSlots; ++player) {
        if (!isPlayerKeyDown(player, kSpaceKey) || !boxSpawnDue(crateTime()) || !roomForActor("crate"))
            continue;
        const Vec2f at = playerCursor(player);
        spawnActor<Box>(at.x, at.y)->player = player;
    }
}
}  // namespace

const FrameScheduler& frameScheduler() { return scheduler; }
void setFrameScheduler(const FrameScheduler& schedule) {
    scheduler = schedule;
    notePassTime(scheduler.now);
}
void resetScheduler() {
    scheduler = FrameScheduler();
    notePassTime(0);
}

void primeLoop() {
    scheduler.now = readClock();
    notePassTime(scheduler.now);
    scheduler.nextStep = scheduler.now + kFirstStepDelayMs;
    scheduler.nextFrame = scheduler.now + kFirstFrameDelayMs;
    scheduler.nextSecond = 0;
}

PassReport runPass() {
    PassReport report;
    ++scheduler.passes;
    scheduler.now = readClock();
    notePassTime(scheduler.now);
    if (scheduler.now > scheduler.nextSecond) {
        scheduler.nextSecond += kSecondMs;
        scheduler.passesPerSecond = scheduler.passes;
        scheduler.framesPerSecond = scheduler.frames;
        scheduler.stepsPerSecond = scheduler.steps;
        scheduler.passes = scheduler.frames = scheduler.steps = 0;
        report.published = true;
    }
    if (scheduler.now >= scheduler.nextFrame) {
        // From the clock, not nextFrame + 20: a late frame is never followed by a quick one.
        scheduler.nextFrame = scheduler.now + kFrameMs;
        host().frame();
        ++scheduler.frames;
        report.frameDrawn = true;
    }
    if (const StepPacer pacer = stepPacer()) {
        report.paced = true;
        // Steps come as their commands do, not as the clock owes them; the next step is taken
        // as due a step from now, only for the host's wait.
        const int32_t steps = std::min(std::max(pacer(), 0), kMaxStepsPerPass);
        for (int32_t i = 0; i < steps; ++i) {
            updateStep();
            ++scheduler.steps;
        }
        report.steps = steps;
        // More in hand than a pass runs: the next pass comes at once (a joiner catching up).
        scheduler.nextStep = steps == kMaxStepsPerPass ? scheduler.now : scheduler.now + kStepMs;
        host().waitUntil(std::min(scheduler.nextStep, scheduler.nextFrame));
        return report;
    }
    int32_t stepsThisPass = 0;
    while (scheduler.now >= scheduler.nextStep) {
        if (stepsThisPass == kMaxStepsPerPass) {
            // Keep the step phase, drop the debt.
            scheduler.nextStep += ((scheduler.now - scheduler.nextStep) / kStepMs + 1) * kStepMs;
            break;
        }
        scheduler.nextStep += kStepMs;
        updateStep();
        ++scheduler.steps;
        ++stepsThisPass;
    }
    report.steps = stepsThisPass;
    // Nothing is owed before the earlier of the two: a pass before then would find no work.
    host().waitUntil(std::min(scheduler.nextStep, scheduler.nextFrame));
    return report;
}

void updateStep() {
    beginStepCommands();  // what the players did, at the start of this numbered step
    watchLevelScript();
    if (takeSimulationStep()) {
        updateEffects();
        updateActors();
        scrollCameraByKeys();
        spawnBoxIfDue();  // before the world step, so a new box gets its first postStep this step
        stepLevelScript();  // likewise for what the script spawns
        if (b2World* world = getWorld()) world->Step(kStepSeconds, kVelocityIterations, kPositionIterations);
        postStepActors();  // a car moves the camera here, after the key scrolling
    } else if (!carHoldsCamera()) {
        scrollCameraByKeys();  // paused: everything stands still but a camera no car holds
    }
    assert([] { std::string why; return grabsSound(why); }() && "a grab outlived its body or world");
    checkGameInvariants("after a logic step");
}
