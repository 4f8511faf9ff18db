// script_file_test.cpp: which map.lua the game reads.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game/host.h"

namespace fs = std::filesystem;

// Only a regular file whose real path lies inside the level folder: a link may point within the
// folder, never out of it (the player's environment must not reach the script or a recording).
TEST(ScriptFile, OnlyARegularFileInsideTheLevelFolderIsRead) {
    fs::create_directories("level/scripts");
    std::ofstream("outside.lua") << "print('outside')";
    std::ofstream("level/scripts/inside.lua") << "print('inside')";
    ASSERT_EQ(chdir("level"), 0);
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(readScriptFromDisk(bytes));  // none yet
    fs::create_symlink("scripts/inside.lua", "map.lua");
    EXPECT_TRUE(readScriptFromDisk(bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "print('inside')");
    for (const std::string target : {"/proc/self/environ", "../outside.lua", "/dev/zero", ".", "missing.lua"}) {
        fs::remove("map.lua");
        fs::create_symlink(target, "map.lua");
        EXPECT_FALSE(readScriptFromDisk(bytes)) << target;
        EXPECT_TRUE(bytes.empty()) << target;
    }
    fs::remove("map.lua");
    ASSERT_EQ(mkfifo("map.lua", 0600), 0);  // not a regular file: never waited on
    EXPECT_FALSE(readScriptFromDisk(bytes));
    ASSERT_EQ(chdir(".."), 0);
}
