// lighting_state.cpp: the lighting layer's resets.
#include "lighting/lighting_state.h"

#include "lighting/lightmap.h"
#include "map/map_state.h"

void resetLightingState() {
    resetLightmap();
}

void resetLayersFromLighting(bool glContextCurrent) {
    resetLightingState();
    resetLayersFromMap(glContextCurrent);
}
