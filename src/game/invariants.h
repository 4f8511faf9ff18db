// invariants.h: what must hold of the whole game between logic steps: every body owned once (by
// the ground, a quad or an actor) and in the current world, the map's own invariants (sound quad
// corners, the quad index exact) and shadow geometry in range. Debug builds check them after
// every logic step and map load (the map checks itself after every undo or redo); the fuzz
// targets check them, whole, after every input.
#pragma once
#include <cstdint>
#include <string>

enum class InvariantScope {
    // Everything: every body, every quad, and every quad's shadow from a fixed set of lights.
    Whole,
    // What a Debug run affords every step on a map of 100,000 quads (about 0.5 ms of a Debug
    // step there, against some 100 ms of Box2D's own): the actors' bodies and the world's body
    // count each time; the quads, their bodies and the quad index whole when the map or the world
    // changed (at most once every kWholeCheckSteps calls, but always when forced, as at a map
    // load); the shadows of a window of quads that moves on with each call, so every quad comes
    // round, and the light buffer of one light.
    Sampled,
};
constexpr int32_t kWholeCheckSteps = 100;  // one second of logic steps

// True when all hold; else false with the first broken invariant in why. With Sampled,
// forceWhole checks the map's part whole this time whatever the schedule says.
bool gameInvariantsHold(InvariantScope scope, std::string& why, bool forceWhole = false);

// In Debug builds: gameInvariantsHold(Sampled, forceWhole), and on a broken invariant one line
// "invariant broken <where>: <problem>" on standard error and abort. In Release builds nothing.
void checkGameInvariants(const char* where, bool forceWhole = false);

// Forgets what the sampled checks remember (as at start-up).
void resetInvariantChecks();
