// Start-up console lines and the editor argument.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "game/game.h"
#include "map/map_editor.h"

namespace {
std::string announce(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::ostringstream out;
    announceArguments(static_cast<int>(args.size()), argv.data(), out);
    return out.str();
}
}  // namespace

TEST(StartupLines, WithoutArgumentsTheCountIsOneAndThePathIsEchoed) {
    EXPECT_EQ(announce({"/usr/games/kelvoran"}),
              "Kelvoran v0.1\n"
              " Launched with 1 args:\n"
              "1. /usr/games/kelvoran\n");
}

TEST(StartupLines, EditorMessageFollowsItsOwnArgumentLine) {
    setEditorEnabled(false);
    EXPECT_EQ(announce({"./kelvoran", "editor", "foo", "editor"}),
              "Kelvoran v0.1\n"
              " Launched with 4 args:\n"
              "1. ./kelvoran\n"
              "2. editor\n"
              "Swiching to editor mode.\n"
              "3. foo\n"
              "4. editor\n"
              "Swiching to editor mode.\n");
    EXPECT_TRUE(editorEnabled());
}

TEST(StartupLines, OnlyTheExactWordSwitchesTheEditorOn) {
    setEditorEnabled(false);
    EXPECT_EQ(announce({"k", "Editor", "editorx", "edit", ""}),
              "Kelvoran v0.1\n"
              " Launched with 5 args:\n"
              "1. k\n"
              "2. Editor\n"
              "3. editorx\n"
              "4. edit\n"
              "5. \n");
    EXPECT_FALSE(editorEnabled());
}
