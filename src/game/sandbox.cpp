// sandbox.cpp: the pause switch the logic step asks, clearing and counting the actors, and the
// queue of feedback messages.
#include "game/sandbox.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <iostream>

#include "game/level_finish.h"
#include "actors/actor.h"
#include "actors/car.h"
#include "game/main_loop.h"
#include "map/map_commands.h"
#include "map/map_quad.h"

namespace {
struct Message {
    std::string text;
    int32_t until = 0;  // clock ms
};
struct SandboxState {
    bool paused = false;
    int32_t owedSteps = 0;
    std::deque<Message> messages;
};
SandboxState sandbox;
auto& messages = sandbox.messages;

void dropExpired(int32_t now) {
    messages.erase(std::remove_if(messages.begin(), messages.end(),
                                  [now](const Message& m) { return m.until <= now; }),
                   messages.end());
}
}  // namespace

ActorCounts countActorKinds() {
    ActorCounts counts;
    for (const ActorKind* kind : actorKinds()) counts.push_back({kind, countActors(*kind)});
    return counts;
}

int32_t countOfKind(const ActorCounts& counts, const char* name) {
    for (const KindCount& entry : counts)
        if (std::strcmp(entry.kind->name, name) == 0) return entry.count;
    return 0;
}

SandboxCounts countSandbox() {
    SandboxCounts counts;
    counts.quads = getQuadCount();
    counts.selectedQuads = countSelectedQuads();
    counts.actors = countActorKinds();
    return counts;
}

bool simulationPaused() { return sandbox.paused; }

void setSimulationPaused(bool value) {
    sandbox.paused = value;
    sandbox.owedSteps = 0;
}

void requestSingleStep() {
    if (sandbox.paused) ++sandbox.owedSteps;
}

bool takeSimulationStep() {
    if (levelFinish().reached) return false;  // the game stands still behind the level's card
    if (!sandbox.paused) return true;
    if (sandbox.owedSteps == 0) return false;
    --sandbox.owedSteps;
    return true;
}

bool carHoldsCamera() {
    for (const auto& actor : allActors())
        if (dynamic_cast<const Car*>(actor.get())) return true;
    return false;
}

ActorCounts clearSandbox() {
    const ActorCounts cleared = countActorKinds();
    clearActors();
    return cleared;
}

// Timed by the clock reading of the latest pass, so showing a message never reads the clock
// itself: a frame drawn with or without a window then reads it equally often.
void showMessage(const std::string& text) {
    const int32_t now = frameScheduler().now;
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
    dropExpired(frameScheduler().now);
    std::vector<std::string> texts;
    for (const Message& message : messages) texts.push_back(message.text);
    return texts;
}

void clearMessages() { messages.clear(); }

void resetSandbox() { sandbox = SandboxState(); }
