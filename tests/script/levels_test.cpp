// levels_test.cpp: each example level played headless with its own keys, to the line it prints
// when it is won.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/keyboard.h"
#include "game/input.h"
#include "script/scripting.h"
#include "script_support.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

namespace {
struct Level {
    const char* name;
    unsigned char key;  // pressed once at the start
    bool held;          // and held down
    int steps;
    const char* won;  // the start of the line it prints when won
};

class LevelTest : public ScriptedGame, public testing::WithParamInterface<Level> {};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
}  // namespace

TEST_P(LevelTest, IsWonWithItsKeys) {
    const fs::path level = fs::path(KELVORAN_SOURCE_DIR) / "levels" / GetParam().name;
    fs::copy_file(level / "map.txt", "map.txt");
    testing::internal::CaptureStderr();
    start(readFile(level / "map.lua"));
    captureStdout([] { onKeyDown(GetParam().key, 0, 0); });
    if (!GetParam().held) onKeyUp(GetParam().key, 0, 0);
    const std::string out = steps(GetParam().steps);
    releaseAllKeys();
    EXPECT_NE(("\n" + out).find(std::string("\n") + GetParam().won), std::string::npos) << out.substr(0, 3000);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(scriptRunning());
    EXPECT_FALSE(readFile(level / "README").empty());
}

INSTANTIATE_TEST_SUITE_P(Example, LevelTest,
                         testing::Values(Level{"flag", 'w', true, 3000, "flag reached in "},
                                         Level{"seesaw", 'x', false, 300, "the crate flew "},
                                         Level{"switch", 'x', false, 300, "gate open at "},
                                         Level{"bridge", 'x', false, 1500, "bridge crossed in "},
                                         Level{"pendulum", 'x', false, 600, "the last ball swung "},
                                         Level{"chain", 'x', false, 1000, "chain reaction complete in "},
                                         Level{"gallery", 'x', false, 400, "gallery: 35 of 35 pieces standing"}),
                         [](const testing::TestParamInfo<Level>& param) { return std::string(param.param.name); });
