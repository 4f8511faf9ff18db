// script_parties.h: who a fixture is, as a script names it in touches and queries: an actor by
// id, or a map quad by its 1-based number, named from the fixture's own mark without a search.
#pragma once
#include <cstdint>

class b2Fixture;

struct Party {
    bool quad = false;
    int32_t id = 0;
    // The fixed order scripts see: actors by creation, then quads by number.
    bool operator<(const Party& other) const { return quad != other.quad ? !quad : id < other.id; }
    bool operator==(const Party& other) const { return quad == other.quad && id == other.id; }
};

// The fixture's party; false for one that is neither (the ground).
bool partyOf(b2Fixture* fixture, Party& party);
