// script_support.h: a headless game in a temporary folder with map.lua written into it.
#pragma once
#include <gtest/gtest.h>

#include <string>

class ScriptedGame : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Writes map.lua and starts the game; returns what the script printed.
    std::string start(const std::string& script);
    // Runs logic steps; returns what they printed on standard output.
    std::string steps(int count);
    std::string folder;
};
