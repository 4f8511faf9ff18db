// physics_state.cpp: the physics layer's resets.
#include "physics/physics_state.h"

#include "core/core_state.h"
#include "physics/physics_world.h"

void resetPhysicsState() {
    destroyWorld();
}

void resetLayersFromPhysics() {
    resetPhysicsState();
    resetLayersFromCore();
}
