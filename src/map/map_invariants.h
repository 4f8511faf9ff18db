// map_invariants.h: what must hold of the map between edits: every quad body on sound corners, in
// the current world and one quad's alone, and the quad index exact. The game checks these with
// the actors' bodies and the shadows added (game/invariants.h).
#pragma once
#include <string>

// True when the quads' invariants all hold; else false with the first broken one in why. O(quads).
bool mapInvariantsHold(std::string& why);

// Whether this build checks its invariants as it runs: Debug builds (NDEBUG off) do.
#ifdef NDEBUG
constexpr bool kCheckInvariants = false;
#else
constexpr bool kCheckInvariants = true;
#endif

// One line "invariant broken <where>: <why>" on standard error, then abort.
[[noreturn]] void failOnBrokenInvariant(const std::string& why, const char* where);
// Where kCheckInvariants: mapInvariantsHold, failing on a broken one. Otherwise nothing.
void checkMapInvariants(const char* where);
