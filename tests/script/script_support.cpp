// script_support.cpp: start-up, steps and shutdown of the scripted test game.
#include "script_support.h"

#include <fstream>

#include "game/game.h"
#include "game/level_script.h"
#include "game/main_loop.h"
#include "render/texture.h"
#include "script/scripting.h"
#include "support/gl_window.h"

void ScriptedGame::SetUp() { folder = enterTempFolder("kelvoran-script"); }

void ScriptedGame::TearDown() {
    captureStdout([] { shutdownGame(false); });
    uninstallScriptHooks();
    leaveTempFolder(folder);
}

std::string ScriptedGame::start(const std::string& script) {
    std::ofstream(kScriptFileName, std::ios::binary) << script;
    installScripting();
    const std::string out = captureStdout([] {
        int argc = 0;
        startGame(argc, nullptr, false, [](int&, char**) {});
    });
    // What the script printed follows the map's loading lines (no map.txt here).
    const std::string loaded = "Loading map.txt\n";
    return out.substr(out.rfind(loaded) + loaded.size());
}

std::string ScriptedGame::steps(int count) {
    return captureStdout([count] {
        for (int i = 0; i < count; ++i) updateStep();
    });
}
