// actors_state.cpp: the actors layer's resets.
#include "actors/actors_state.h"

#include "actors/actor.h"
#include "actors/joints.h"
#include "map/map_state.h"

void resetActorsState() {
    resetActors();
    resetJoints();
}

void resetLayersFromActors(bool glContextCurrent) {
    resetActorsState();
    resetLayersFromMap(glContextCurrent);
}
