// map_invariants.h: what must hold of the map between edits: every quad body on sound corners, in
// the current world and one quad's alone, and the quad index exact. The game checks these with
// the actors' bodies and the shadows added (game/invariants.h).
#pragma once
#include <string>

// The first broken invariant of the quads, or "" when all hold. O(quads).
std::string mapInvariantProblem();

// Whether this build checks its invariants as it runs: Debug builds (NDEBUG off) do.
#ifdef NDEBUG
constexpr bool kCheckInvariants = false;
#else
constexpr bool kCheckInvariants = true;
#endif

// With a problem: one line "invariant broken <where>: <problem>" on standard error, then abort.
void failOnBrokenInvariant(const std::string& problem, const char* where);
// Where kCheckInvariants: mapInvariantProblem, failing on a problem. Otherwise nothing.
void checkMapInvariants(const char* where);
