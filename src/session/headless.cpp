// headless.cpp: the logic step and the input handlers, with a scripted clock and no window.
#include "session/headless.h"

#include <sstream>

#include "actors/actor.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "game/game.h"
#include "game/host.h"
#include "core/camera.h"
#include "script/scripting.h"
#include "render/effect_layers.h"
#include "render/shape_queue.h"
#include "render/texture.h"

namespace {
struct HeadlessRun {
    int32_t fakeTime = 0;
    bool leaveRequested = false;
    Host previousHost = headlessHost();  // put back by stopHeadless
};
HeadlessRun run;
auto& fakeTime = run.fakeTime;
auto& leaveRequested = run.leaveRequested;

int32_t scriptedClock() { return fakeTime; }

// What a frame does to the queues, minus the drawing.
void discardingFrame() {
    drawActors();
    queueFlickerLights();
    for (const auto& texture : allTextures()) {
        emptySpriteQueue(texture->queues);
        emptyLightQueue(texture->queues);
    }
    emptyShapeQueues();
}

// Reports the default window's size, as the window system's first reshape would.
void openNoWindow(int&, char**) { setWindowSize(1024.0f, 600.0f); }

void deliver(const InputEvent& event) {
    switch (event.kind) {
        case InputEvent::Kind::KeyDown: onKeyDown(static_cast<unsigned char>(event.a), 0, 0); break;
        case InputEvent::Kind::KeyUp: onKeyUp(static_cast<unsigned char>(event.a), 0, 0); break;
        case InputEvent::Kind::Move: onMouseMove(event.a, event.b); break;
        case InputEvent::Kind::ButtonDown: onMouseButton(event.a, 0, 0, 0); break;
        case InputEvent::Kind::ButtonUp: onMouseButton(event.a, 1, 0, 0); break;
    }
}
}  // namespace

void startHeadless() {
    run = HeadlessRun();
    run.previousHost = host();
    Host scripted = headlessHost();
    scripted.clock = scriptedClock;
    scripted.frame = discardingFrame;
    scripted.window.leaveMainLoop = [] { leaveRequested = true; };
    installHost(scripted);
    int argc = 0;
    installScripting();
    startGame(argc, nullptr, false, openNoWindow);
}

void stopHeadless() {
    shutdownGame(false);
    installHost(run.previousHost);
}

bool replay(const std::vector<InputEvent>& events, int32_t endTime) {
    size_t next = 0;
    for (; fakeTime <= endTime; ++fakeTime) {
        while (next < events.size() && events[next].time <= fakeTime) deliver(events[next++]);
        if (leaveRequested) return false;
        runPass();
    }
    return true;
}

int32_t headlessTime() { return fakeTime; }

std::vector<InputEvent> parseInputScript(std::istream& in) {
    std::vector<InputEvent> events;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        InputEvent event;
        std::string kind;
        if (!(fields >> event.time >> kind)) continue;
        bool ok = static_cast<bool>(fields >> event.a);
        if (kind == "key") event.kind = InputEvent::Kind::KeyDown;
        else if (kind == "keyup") event.kind = InputEvent::Kind::KeyUp;
        else if (kind == "press") event.kind = InputEvent::Kind::ButtonDown;
        else if (kind == "release") event.kind = InputEvent::Kind::ButtonUp;
        else if (kind == "move") {
            event.kind = InputEvent::Kind::Move;
            ok = ok && static_cast<bool>(fields >> event.b);
        } else ok = false;
        if (ok) events.push_back(event);
    }
    return events;
}
