// game_state.cpp: the game layer's resets.
#include "game/game_state.h"

#include "actors/actors_state.h"
#include "game/edit_feedback.h"
#include "game/grab.h"
#include "game/help_state.h"
#include "game/input.h"
#include "game/invariants.h"
#include "game/level_finish.h"
#include "game/level_presentation.h"
#include "game/level_script.h"
#include "game/level_sounds.h"
#include "game/main_loop.h"
#include "game/overlay_switches.h"
#include "game/redraw_decision.h"
#include "game/sandbox.h"
#include "game/sound_state.h"
#include "game/step_commands.h"
#include "game/view_control.h"
#include "lighting/lighting_state.h"
#include "map/map_state.h"

void resetGameState(bool) {
    resetSandbox();       // paused off, no steps owed, no messages
    resetLevelScript();   // the script's actors go with the others, below
    resetLevelPresentation();
    resetLevelSounds();
    resetLevelFinish();
    clearEditFeedback();
    resetViewControl();
    releaseAllGrabs();    // before its body and world go
    resetInput();
    resetStepCommands();  // nothing scheduled, step 0, input at once
    hideHelpPanel();
    unmuteSound();
    hideOverlays();
    resetScheduler();
    resetInvariantChecks();
    pictureLost();        // a new game draws its first frame
}

void resetLayersFromGame(bool glContextCurrent) {
    resetGameState(glContextCurrent);
    resetActorsState();   // their bodies first, while their world exists
    resetLightingState();
    resetLayersFromMap(glContextCurrent);
}
