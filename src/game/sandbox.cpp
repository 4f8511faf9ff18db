// sandbox.cpp: the pause switch the logic step asks, and clearing and counting the actors.
#include "game/sandbox.h"

#include <algorithm>
#include <cstring>
#include <iostream>

#include "game/level_finish.h"
#include "actors/actor.h"
#include "actors/car.h"
#include "game/messages.h"
#include "map/map_commands.h"
#include "map/map_quad.h"

namespace {
struct SandboxState {
    bool paused = false;
    int32_t owedSteps = 0;
};
SandboxState sandbox;
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
        if (dynamic_cast<const Car*>(actor.get()) && actor->player == cameraFollowsPlayer()) return true;
    return false;
}

ActorCounts clearSandbox() {
    const ActorCounts cleared = countActorKinds();
    clearActors();
    return cleared;
}


void resetSandbox() {
    sandbox = SandboxState();
    clearMessages();
}
