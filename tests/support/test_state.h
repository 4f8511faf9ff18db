// test_state.h: what a test program puts back after every case, so that the next case, and the
// next round of --gtest_repeat, finds the game as a new process would. Each layer puts back what
// it owns and then calls the layers below it. A program resets its own layer only (it links
// nothing above); the functions are inline, so a program links just the layers it calls.
#pragma once

#include "actors/actor.h"
#include "actors/joints.h"
#include "audio/sound_player.h"
#include "core/camera.h"
#include "core/keyboard.h"
#include "core/random.h"
#include "game/game.h"
#include "game/host.h"
#include "game/level_script.h"
#include "lighting/lightmap.h"
#include "map/map_editor.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "map/quad_index.h"
#include "physics/physics_world.h"
#include "render/shape_queue.h"
#include "render/texture.h"
#include "session/recording.h"
#include "support/gl_window.h"

// Defined by each test folder (tests/<folder>/test_state.cpp) as its own layer's reset; the one
// test main calls it after every case.
void resetTestState();

inline void resetCoreState() {
    resetCamera();
    releaseAllKeys();
    seedRandom(0);
}

inline void resetRenderState() {
    emptyShapeQueues();
    unloadAllTextures(testWindowOpen());
    resetCoreState();
}

inline void resetPhysicsState() {
    destroyWorld();
    resetCoreState();
}

// Quads first: their bodies go while their world still exists.
inline void resetMapState() {
    clearMapHistory();
    resetEditor();
    clearMapQuads(true);
    resetQuadIndex();
    resetPhysicsState();
    resetRenderState();
}

// Actors first: their bodies go while their world still exists.
inline void resetActorsState() {
    resetActors();
    resetJoints();
    resetMapState();
}

inline void resetLightingState() {
    resetLightmap();
    resetMapState();
}

// The game's own shutdown, then the default host; the layers below once more, so that a module
// the shutdown missed cannot leak into the next case.
inline void resetGameState() {
    shutdownGame(testWindowOpen());
    installHost(headlessHost());
    resetActorsState();
    resetLightingState();
}


// The script's hooks out of the game, then the game.
inline void resetScriptState() {
    uninstallScriptHooks();
    resetGameState();
}

inline void resetSessionState() {
    resetRecorder();
    resetScriptState();
}

// The output device closed, then the game.
inline void resetAudioState() {
    stopAudio();
    resetGameState();
}
