// physics_state.h: the physics layer's module state back to where a new process starts. Every layer
// has one such pair; shutdownGame and the tests' resets call them, so the list of what a layer
// holds is written once, beside the layer.
#pragma once

// The world and every body in it.
void resetPhysicsState();
// This layer and every layer below it, the upper ones first (actors go before their world).
void resetLayersFromPhysics();
