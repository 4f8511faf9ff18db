// sandbox.h: pausing and single-stepping the simulation, clearing it of actors and counting what
// is in it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ActorKind;

// How many actors of each registered kind, in the kinds' order.
struct KindCount {
    const ActorKind* kind = nullptr;
    int32_t count = 0;
};
using ActorCounts = std::vector<KindCount>;
ActorCounts countActorKinds();
int32_t countOfKind(const ActorCounts& counts, const char* name);  // 0 for a kind not there

struct SandboxCounts {
    int32_t quads = 0, selectedQuads = 0;
    ActorCounts actors;
};
SandboxCounts countSandbox();

bool simulationPaused();
void setSimulationPaused(bool paused);  // either way, forgets owed single steps
// While paused, owes one full logic step to the next updateStep; does nothing while running.
void requestSingleStep();
// Asked once by every logic step: true when it runs the simulation (running, or paused with a
// single step owed, which this takes); false when only the free camera may move.
bool takeSimulationStep();
bool carHoldsCamera();  // a car of this program's player sets the camera after every step it runs

// Deletes every actor with its body and says how many of each kind went; the map and the effects
// stay. Not inside the physics step.
ActorCounts clearSandbox();


// Running, no single steps owed, no messages: as at start-up.
void resetSandbox();
