// level_maker_test.cpp: the real game playing a level folder in place (--level) on a private
// Xvfb display, driven with real X events: what a level shows, and the editor's help for making
// one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "support/private_display.h"

namespace fs = std::filesystem;

namespace {
struct Picture {
    int width = 0, height = 0;
    std::string rgb;
};

class LevelFolder : public testing::Test {
protected:
    void SetUp() override {
        std::string display;
        xvfb = startPrivateDisplay(display);
        ASSERT_GT(xvfb, 0) << "Xvfb could not be started";
        setenv("DISPLAY", display.c_str(), 1);
        dir = fs::temp_directory_path() / ("kelvoran-level-e2e-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "level");
        fs::create_directories(dir / "elsewhere");
    }
    void TearDown() override {
        if (HasFailure()) std::cerr << readWholeFile((dir / "stderr.txt").string());
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        fs::remove_all(dir);
        if (xvfb > 0) {
            kill(xvfb, SIGTERM);
            waitpid(xvfb, nullptr, 0);
        }
    }

    // The game started in another folder with --level, so whatever it reads and writes in the
    // level folder it found there through the option alone.
    void start() {
        pid = fork();
        if (pid == 0) {
            if (chdir((dir / "elsewhere").c_str()) != 0) _exit(126);
            if (!freopen("../stdout.txt", "w", stdout) || !freopen("../stderr.txt", "w", stderr)) _exit(126);
            if (const char* driver = getenv("KELVORAN_GAME_PRELOAD")) setenv("LD_PRELOAD", driver, 1);
            setenv("ALSOFT_DRIVERS", "null", 1);
            setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);  // the best times stay in the test
            const std::string level = (dir / "level").string();
            execl(KELVORAN_BINARY, KELVORAN_BINARY, "--level", level.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 200 && window.empty(); ++i) {
            sleepMs(100);
            std::istringstream ids(runCommand("xdotool search --name '^Kelvoran v0.1$'"));
            ids >> window;
        }
        ASSERT_FALSE(window.empty()) << "no window titled Kelvoran v0.1 appeared";
        sleepMs(500);
    }
    void key(const std::string& name) {
        runCommand("xdotool windowfocus --sync " + window + " key " + name);
        sleepMs(150);
    }
    void pointer(int x, int y) {
        runCommand("xdotool mousemove --window " + window + " " + std::to_string(x + 3) + " " + std::to_string(y));
        runCommand("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
        sleepMs(100);
    }
    int waitForExit(int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            sleepMs(50);
        }
        return -1;
    }
    Picture shot() {
        const fs::path file = dir / "shot.ppm";
        runCommand("import -window " + window + " -depth 8 " + file.string());
        Picture picture;
        std::ifstream in(file, std::ios::binary);
        std::string magic;
        int maxValue = 0;
        in >> magic >> picture.width >> picture.height >> maxValue;
        in.get();
        if (magic != "P6" || maxValue != 255) return Picture{};
        picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
        in.read(&picture.rgb[0], static_cast<std::streamsize>(picture.rgb.size()));
        return picture;
    }
    // Pixels of a window rectangle passing test(r, g, b).
    static int count(const Picture& p, int x0, int y0, int x1, int y1,
                     const std::function<bool(int, int, int)>& test) {
        int n = 0;
        for (int y = y0; y < std::min(y1, p.height); ++y)
            for (int x = x0; x < std::min(x1, p.width); ++x) {
                const auto* c = reinterpret_cast<const unsigned char*>(&p.rgb[(static_cast<size_t>(y) * p.width + x) * 3]);
                n += test(c[0], c[1], c[2]);
            }
        return n;
    }
    // Shots until one passes, for three seconds: a slow build may take a while to draw.
    Picture shotUntil(const std::function<bool(const Picture&)>& shows) {
        Picture picture;
        for (int waited = 0; waited < 3000; waited += 100) {
            picture = shot();
            if (picture.width >= 1000 && shows(picture)) break;
            sleepMs(100);
        }
        return picture;
    }

    fs::path dir;
    pid_t pid = -1;
    pid_t xvfb = -1;
    std::string window;
};

bool green(int r, int g, int b) { return r < 60 && g > 200 && b < 60; }
bool amber(int r, int g, int b) { return r > 230 && g > 190 && g < 240 && b < 140; }
// The stopped line's colour, a light red.
bool coral(int r, int g, int b) { return r > 230 && g > 110 && g < 160 && b < 140; }
}  // namespace

TEST_F(LevelFolder, ALabelTheLevelsKeysInTheHelpAndAStoppedScriptsLineShow) {
    std::ofstream(dir / "level" / "map.lua")
        << "game.keys{x = 'drop a weight'}\n"
           "game.label('title', 'LABEL', {x = 100, y = 100, size = 48, color = {0, 1, 0}})\n";
    start();
    const Picture labelled = shotUntil([](const Picture& p) { return count(p, 100, 100, 300, 170, green) > 300; });
    EXPECT_GT(count(labelled, 100, 100, 300, 170, green), 300) << "no label";
    EXPECT_EQ(count(labelled, 0, 180, 1024, 600, green), 0) << "green where no label is";

    key("h");  // the panel's LEVEL heading, in amber under the game's keys
    const Picture help = shotUntil([](const Picture& p) { return count(p, 130, 420, 200, 450, amber) > 20; });
    EXPECT_GT(count(help, 130, 420, 200, 450, amber), 20) << "no LEVEL section";
    key("h");

    EXPECT_EQ(count(labelled, 0, 40, 500, 75, coral), 0);
    std::ofstream(dir / "level" / "map.lua") << "error('broken on purpose')\n";
    const Picture stopped = shotUntil([](const Picture& p) { return count(p, 0, 40, 500, 75, coral) > 100; });
    EXPECT_GT(count(stopped, 0, 40, 500, 75, coral), 100) << "no stopped line";
    key("Escape");
    EXPECT_EQ(waitForExit(10000), 0);
    EXPECT_NE(readWholeFile((dir / "stderr.txt").string()).find("broken on purpose"), std::string::npos);
}

TEST_F(LevelFolder, CtrlLPrintsTheSelectedQuadsAndTheEditorSavesIntoTheLevelFolder) {
    start();  // no map.txt: the level starts empty
    key("3");  // the square (30, 30)..(70, 70); window pixel = world + (512, 300)
    pointer(562, 350);
    runCommand("xdotool click 1");
    sleepMs(150);
    key("ctrl+l");
    key("9");
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);
    const std::string out = readWholeFile((dir / "stdout.txt").string());
    EXPECT_NE(out.find("\n{30, 30, 70, 30, 70, 70, 30, 70},\n"), std::string::npos) << out;
    // Saved by 9 and again by Esc, beside the level's script, with the first save as the backup.
    EXPECT_EQ(readWholeFile((dir / "level" / "map.txt").string()).size(), 4u + 33u);
    EXPECT_EQ(readWholeFile((dir / "level" / "map.txt.bak").string()).size(), 4u + 33u);
    EXPECT_FALSE(fs::exists(dir / "elsewhere" / "map.txt"));
}

TEST_F(LevelFolder, AFinishedLevelShowsItsCardAndKeepsItsBestInTheUsersDataFolder) {
    std::ofstream(dir / "level" / "map.lua") << "game.finish(12.5, 'Flag reached')\n";
    start();
    // The card's amber frame and heading, in the middle of the window.
    const Picture card = shotUntil([](const Picture& p) { return count(p, 262, 150, 762, 450, amber) > 300; });
    EXPECT_GT(count(card, 262, 150, 762, 450, amber), 300) << "no card";
    key("Escape");
    EXPECT_EQ(waitForExit(10000), 0);
    EXPECT_EQ(readWholeFile((dir / "data" / "kelvoran" / "best.txt").string()),
              "12.5\t" + fs::canonical(dir / "level").string() + "\n");
}
