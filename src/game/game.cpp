// game.cpp: start-up in its fixed order, and the shutdown.
#include "game/game.h"

#include <unistd.h>

#include <cstring>
#include <iostream>

#include "game/game_state.h"
#include "actors/actor.h"
#include "actors/joints.h"
#include "core/camera.h"
#include "core/keyboard.h"
#include "core/random.h"
#include "game/edit_feedback.h"
#include "core/sound_cues.h"
#include "game/grab.h"
#include "game/help_state.h"
#include "game/host.h"
#include "game/input.h"
#include "game/level_finish.h"
#include "game/level_presentation.h"
#include "game/level_sounds.h"
#include "game/level_script.h"
#include "game/invariants.h"
#include "game/main_loop.h"
#include "game/messages.h"
#include "game/overlay_switches.h"
#include "game/redraw_decision.h"
#include "game/map_loading.h"
#include "game/sandbox.h"
#include "game/step_commands.h"
#include "game/view_control.h"
#include "map/map_commands.h"
#include "game/sound_state.h"
#include "lighting/lightmap.h"
#include "map/map_editor.h"
#include "map/map_file.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "map/quad_index.h"
#include "physics/physics_world.h"
#include "render/texture.h"

namespace {
constexpr int32_t kViewWidth = 1024;  // world units, and the window's first size in pixels
constexpr int32_t kViewHeight = 600;
constexpr Vec2f kSpawnPoint = {10.0f, 20.0f};
}  // namespace

void announceArguments(int argc, char** argv, std::ostream& out) {
    out << kGameTitle << std::endl;
    out << " Launched with " << argc << " args:" << std::endl;
    for (int i = 0; i < argc; ++i) {
        out << i + 1 << ". " << argv[i] << std::endl;
        if (std::strcmp(argv[i], "editor") == 0) {
            setEditorEnabled(true);
            out << "Swiching to editor mode." << std::endl;
        }
    }
}

void startGame(int& argc, char** argv, bool announce, OpenWindowFunction openWindow) {
    setCamera(0.0f, 0.0f, kViewWidth, kViewHeight, 1.0f, 1.0f, 0.0f);
    if (announce) announceArguments(argc, argv, std::cout);
    setSpawnPoint(kSpawnPoint);
    openWindow(argc, argv);
    seedRandom(0);
    loadAllTextures(host().loadImage);
    const bool loaded = loadMap();  // creates the physics world first
    // Standard output keeps its one line for this; the window says what it means. Before the
    // script, so that anything the script says is the newest message.
    if (!loaded && access(kMapFileName, F_OK) != 0) showMessage("No map.txt here: the map starts empty");
    loadLevelScript();
    primeLoop();  // after loading, so loading time is not owed as logic steps
}

void shutdownGame(bool glContextCurrent) { resetLayersFromGame(glContextCurrent); }
