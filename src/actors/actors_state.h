// actors_state.h: the actors layer's module state back to where a new process starts. Every layer
// has one such pair; shutdownGame and the tests' resets call them, so the list of what a layer
// holds is written once, beside the layer.
#pragma once

// Every actor with its body, and the joints; the next actor and joint are #0.
void resetActorsState();
// This layer and every layer below it, the upper ones first (actors go before their world).
void resetLayersFromActors(bool glContextCurrent);
