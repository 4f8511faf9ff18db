// sandbox.cpp: the pause switch the logic step asks, clearing and counting the actors, and the
// queue of feedback messages.
#include "app/sandbox.h"

#include <algorithm>
#include <deque>
#include <iostream>

#include "actors/actor.h"
#include "actors/box.h"
#include "actors/car.h"
#include "actors/rocket.h"
#include "app/main_loop.h"
#include "map/map_commands.h"
#include "map/map_quad.h"

namespace {
bool paused = false;
int32_t owedSteps = 0;

struct Message {
    std::string text;
    int32_t until = 0;  // clock ms
};
std::deque<Message> messages;

template <class T>
int32_t countOf() {
    int32_t count = 0;
    for (const auto& actor : actors) count += dynamic_cast<const T*>(actor.get()) != nullptr ? 1 : 0;
    return count;
}

void dropExpired(int32_t now) {
    messages.erase(std::remove_if(messages.begin(), messages.end(),
                                  [now](const Message& m) { return m.until <= now; }),
                   messages.end());
}
}  // namespace

SandboxCounts countSandbox() {
    SandboxCounts counts;
    counts.quads = getQuadCount();
    counts.selectedQuads = countSelectedQuads();
    counts.boxes = countOf<Box>();
    counts.cars = countOf<Car>();
    counts.rockets = countOf<Rocket>();
    return counts;
}

bool simulationPaused() { return paused; }

void setSimulationPaused(bool value) {
    paused = value;
    owedSteps = 0;
}

void requestSingleStep() {
    if (paused) ++owedSteps;
}

bool takeSimulationStep() {
    if (!paused) return true;
    if (owedSteps == 0) return false;
    --owedSteps;
    return true;
}

bool carHoldsCamera() { return countOf<Car>() > 0; }

ClearedCounts clearSandbox() {
    ClearedCounts cleared;
    cleared.boxes = countOf<Box>();
    cleared.cars = countOf<Car>();
    cleared.rockets = countOf<Rocket>();
    clearActors();
    return cleared;
}

// Timed by the clock reading of the latest pass, so showing a message never reads the clock
// itself: a frame drawn with or without a window then reads it equally often.
void showMessage(const std::string& text) {
    const int32_t now = scheduler.now;
    dropExpired(now);
    if (!messages.empty() && messages.back().text == text) messages.pop_back();
    messages.push_back({text, now + kMessageMs});
    while (messages.size() > kMaxMessages) messages.pop_front();
}

void showFailure(const std::string& text) {
    std::cerr << text << std::endl;
    showMessage(text);
}

std::vector<std::string> visibleMessages() {
    dropExpired(scheduler.now);
    std::vector<std::string> texts;
    for (const Message& message : messages) texts.push_back(message.text);
    return texts;
}

void clearMessages() { messages.clear(); }
