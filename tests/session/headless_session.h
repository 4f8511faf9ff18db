// headless_session.h: the fixture of the tests that play the game headless on the starter map:
// a folder of the case's own holding map.txt, the game started without a window, and stopped
// after the case.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "game/input.h"
#include "session/headless.h"
#include "support/gl_window.h"

class HeadlessSession : public testing::Test {
protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() /
              ("kelvoran-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
               "-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::filesystem::copy_file(std::filesystem::path(KELVORAN_ASSETS) / "map.txt", dir / "map.txt");
        std::filesystem::current_path(dir);
        captureStdout(startHeadless);
    }
    void TearDown() override {
        stopHeadless();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    static void key(unsigned char code) { onKeyDown(code, 0, 0), onKeyUp(code, 0, 0); }

    std::filesystem::path dir, previous;
};
