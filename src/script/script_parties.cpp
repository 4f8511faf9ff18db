// script_parties.cpp: naming a fixture's owner from its mark.
#include "script/script_parties.h"

#include "map/quad_index.h"
#include "physics/physics_world.h"

bool partyOf(b2Fixture* fixture, Party& party) {
    const int32_t actor = fixtureActorId(fixture);
    if (actor >= 0) {
        party = Party{false, actor};
        return true;
    }
    const int32_t quad = fixtureQuadNumber(fixture);
    party = Party{true, quad};
    return quad > 0;
}
