// core_state.cpp: the core layer's resets.
#include "core/core_state.h"

#include "core/camera.h"
#include "core/keyboard.h"
#include "core/random.h"
#include "core/sound_cues.h"

void resetCoreState() {
    resetCamera();
    releaseAllKeys();
    seedRandom(0);
    clearSoundCues();
}

void resetLayersFromCore() {
    resetCoreState();

}
