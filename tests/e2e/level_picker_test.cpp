// level_picker_test.cpp: the real game's level picker (--levels) on a private Xvfb display,
// driven with real X keys: it opens, the arrows move, Enter plays a level in the same window and
// Esc comes back, n goes on from a finished level, q quits; a broken file is a card.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "level/level_file.h"
#include "support/png_writer.h"
#include "support/private_display.h"

namespace fs = std::filesystem;

namespace {
struct Picture {
    int width = 0, height = 0;
    std::string rgb;
};

// Pixels of the picture passing test(r, g, b).
int count(const Picture& p, const std::function<bool(int, int, int)>& test) {
    int n = 0;
    for (size_t i = 0; i + 2 < p.rgb.size(); i += 3)
        n += test(static_cast<unsigned char>(p.rgb[i]), static_cast<unsigned char>(p.rgb[i + 1]),
                  static_cast<unsigned char>(p.rgb[i + 2]));
    return n;
}
bool magenta(int r, int g, int b) { return r > 240 && g < 20 && b > 240; }    // the level's thumbnail
// The level's label, dimmed behind the finish card.
bool green(int r, int g, int b) { return r < 50 && g > 110 && b < 50; }
bool coral(int r, int g, int b) { return r > 230 && g > 110 && g < 160 && b < 140; }  // a problem
bool bestGreen(int r, int g, int b) { return r > 140 && r < 170 && g > 215 && b > 140 && b < 170; }

// A level whose thumbnail is all magenta and whose script shows a green label and finishes.
void writeLevel(const fs::path& path) {
    PngPicture thumbnail;
    thumbnail.width = 256;
    thumbnail.height = 150;
    thumbnail.colorType = 2;
    for (int i = 0; i < thumbnail.width * thumbnail.height; ++i) thumbnail.samples.insert(thumbnail.samples.end(), {255, 0, 255});
    const std::string script = "game.label('t', 'LEVEL', {x = 100, y = 100, size = 48, color = {0, 1, 0}})\n"
                               "game.finish(12.5, 'done')\n";
    LevelManifest manifest;
    manifest.id = "picked";
    manifest.title = "Picked";
    manifest.author = "a test";
    manifest.licence = "CC0-1.0";
    manifest.game = levelGameVersion();
    manifest.script = "map.lua";
    const LevelFiles files = {{"map.txt", {0, 0, 0, 0}},
                              {"map.lua", std::vector<uint8_t>(script.begin(), script.end())},
                              {"thumbnail.png", encodePng(thumbnail)}};
    std::vector<uint8_t> bytes;
    std::string problem;
    ASSERT_TRUE(writeLevelFile(manifest, files, bytes, problem)) << problem;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class LevelPicker : public testing::Test {
protected:
    void SetUp() override {
        std::string display;
        xvfb = startPrivateDisplay(display);
        ASSERT_GT(xvfb, 0) << "Xvfb could not be started";
        setenv("DISPLAY", display.c_str(), 1);
        dir = fs::temp_directory_path() / ("kelvoran-picker-e2e-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        if (HasFailure()) std::cerr << readWholeFile((dir / "stdout.txt").string()) << readWholeFile((dir / "stderr.txt").string());
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
    void start() {
        pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(126);
            if (!freopen("stdout.txt", "w", stdout) || !freopen("stderr.txt", "w", stderr)) _exit(126);
            if (const char* driver = getenv("KELVORAN_GAME_PRELOAD")) setenv("LD_PRELOAD", driver, 1);
            setenv("ALSOFT_DRIVERS", "null", 1);
            setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
            execl(KELVORAN_BINARY, KELVORAN_BINARY, "--levels", "picked.kvlevel", "broken.kvlevel",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 200 && window.empty(); ++i) {
            sleepMs(100);
            std::istringstream ids(runCommand("xdotool search --name '^Kelvoran v0.1$'"));
            ids >> window;
        }
        ASSERT_FALSE(window.empty()) << "no window titled Kelvoran v0.1 appeared";
    }
    void key(const std::string& name) {
        runCommand("xdotool windowfocus --sync " + window + " key " + name);
        sleepMs(150);
    }
    Picture shot() {
        const fs::path file = dir / "shot.ppm";
        // Bounded: a window that is gone would keep import waiting.
        runCommand("timeout 10 import -window " + window + " -depth 8 " + file.string());
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
    // Shots until one passes, for five seconds: a slow build may take a while to draw.
    Picture shotUntil(const std::function<bool(const Picture&)>& shows) {
        Picture picture;
        for (int waited = 0; waited < 5000; waited += 100) {
            picture = shot();
            if (picture.width >= 1000 && shows(picture)) break;
            sleepMs(100);
        }
        return picture;
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
    int plays() {
        const std::string out = readWholeFile((dir / "stdout.txt").string());
        int n = 0;
        for (size_t at = out.find("Playing "); at != std::string::npos; at = out.find("Playing ", at + 1)) ++n;
        return n;
    }

    fs::path dir;
    pid_t pid = -1;
    pid_t xvfb = -1;
    std::string window;
};
}  // namespace

TEST_F(LevelPicker, ArrowsAndEnterPlayALevelEscReturnsNGoesOnAndQQuits) {
    writeLevel(dir / "picked.kvlevel");
    std::ofstream(dir / "broken.kvlevel") << "not a zip at all";
    start();
    // The named files come after the installed levels: End selects the broken one, the last.
    key("End");
    const Picture broken = shotUntil([](const Picture& p) { return count(p, coral) > 200; });
    EXPECT_GT(count(broken, coral), 200) << "no card saying why the broken file cannot be played";
    key("Return");  // says why again below; nothing starts
    EXPECT_EQ(plays(), 0);

    key("Left");  // the level beside it, its magenta picture on its card
    EXPECT_GT(count(shotUntil([](const Picture& p) { return count(p, magenta) > 20000; }), magenta), 20000);
    key("Return");
    const Picture level = shotUntil([](const Picture& p) { return count(p, green) > 300; });
    EXPECT_GT(count(level, green), 300) << "the level's label is not in the window";
    EXPECT_EQ(count(level, magenta), 0) << "the picker is still showing";
    EXPECT_EQ(plays(), 1);

    key("Escape");  // back to the picker, the level's map saved in the user's data folder
    const Picture back = shotUntil([](const Picture& p) { return count(p, magenta) > 20000 && count(p, bestGreen) > 20; });
    EXPECT_GT(count(back, magenta), 20000) << "not back in the picker";
    EXPECT_GT(count(back, bestGreen), 20) << "the card does not show the best the level kept";
    EXPECT_TRUE(fs::exists(dir / "data" / "kelvoran" / "levels" / "picked" / "map.txt"));

    key("Return");  // the same level again; finished at once, so n goes to the next one
    shotUntil([](const Picture& p) { return count(p, green) > 300; });
    key("n");
    for (int waited = 0; waited < 5000 && plays() < 3; waited += 100) sleepMs(100);
    EXPECT_EQ(plays(), 3);
    key("q");
    EXPECT_EQ(waitForExit(10000), 0);
}
