// script_text_fuzz.cpp: runs arbitrary text as map.lua against the game API for a few steps,
// keys and clicks, and checks that the script either runs or was stopped, that its memory stays
// under the cap and that the game's own state stays sound.
#include <box2d/box2d.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "actors/actor.h"
#include "fuzz_support.h"
#include "game/game.h"
#include "game/level_script.h"
#include "game/main_loop.h"
#include "game/sandbox.h"
#include "physics/physics_world.h"
#include "script/lua_sandbox.h"
#include "script/scripting.h"

namespace {
constexpr int kSteps = 30;

// Standard output and error swallowed while the game and the script talk.
class Quiet {
public:
    Quiet() : out_(std::cout.rdbuf(sink_.rdbuf())), err_(std::cerr.rdbuf(sink_.rdbuf())) {}
    ~Quiet() {
        std::cout.rdbuf(out_);
        std::cerr.rdbuf(err_);
    }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

private:
    std::ostringstream sink_;
    std::streambuf* out_;
    std::streambuf* err_;
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::makeWorkFolder("kelvoran-script-fuzz", true);
    const Quiet quiet;
    installScripting();
    int argc = 0;
    startGame(argc, nullptr, false, [](int&, char**) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(kScriptFileName, "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    {
        const Quiet quiet;
        loadLevelScript();
        for (int i = 0; i < kSteps; ++i) {
            updateStep();
            if (i == 5) levelScriptKey("q", true);
            if (i == 10) levelScriptClick({12.0f, -40.0f});
        }
    }
    if (scriptRunning() == scriptStopped()) fuzz::fail("the script is neither running nor stopped");
    if (scriptMemoryInUse() > kScriptMemoryLimit) fuzz::fail("the script outgrew its memory cap");
    if (!getWorld()) fuzz::fail("the world is gone");
    for (const auto& actor : allActors())
        if (!std::isfinite(actor->x) || !std::isfinite(actor->y)) fuzz::fail("an actor left the world");
    const Quiet quiet;
    clearSandbox();  // the next input starts from the same empty sandbox
    return 0;
}
