// The real kelvoran binary on a private Xvfb display, driven with real X key and mouse events.
// A display of its own keeps other tests' windows from stacking over the game and taking its
// pointer events.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <vector>
#include <string>
#include <thread>

#include "support/private_display.h"
#include "core/sound_file.h"

namespace fs = std::filesystem;

namespace {
std::string run(const std::string& command) { return runCommand(command); }
std::string readFile(const fs::path& path) { return readWholeFile(path.string()); }

class Game : public testing::Test {
protected:
    void SetUp() override {
        std::string display;
        xvfb = startPrivateDisplay(display);
        ASSERT_GT(xvfb, 0) << "Xvfb could not be started";
        setenv("DISPLAY", display.c_str(), 1);  // for the game and for xdotool
        dir = fs::temp_directory_path() / ("kelvoran-e2e-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (const auto& entry : fs::directory_iterator(KELVORAN_ASSETS))
            fs::copy_file(entry.path(), dir / entry.path().filename());
    }
    void TearDown() override {
        // The game's own diagnostics, sanitizer reports included, explain a failure.
        if (HasFailure() && !dir.empty()) std::cerr << readFile(dir / "stderr.txt");
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (!dir.empty()) fs::remove_all(dir);
        if (xvfb > 0) {
            kill(xvfb, SIGTERM);
            waitpid(xvfb, nullptr, 0);
        }
    }

    void start() {
        window.clear();
        pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(126);
            if (!freopen("stdout.txt", "w", stdout) || !freopen("stderr.txt", "w", stderr)) _exit(126);
            // The sanitizer pass keeps the GL driver loaded in the game alone (see CMakeLists).
            if (const char* driver = getenv("KELVORAN_GAME_PRELOAD")) setenv("LD_PRELOAD", driver, 1);
            // OpenAL's choice of output: its silent "null" device by default, so the game runs
            // its sound as on a machine with a sound card, on every machine.
            setenv("ALSOFT_DRIVERS", audioDrivers.c_str(), 1);
            setenv("ALSOFT_CONF", "alsoft.conf", 1);  // the wave output's file, when asked for
            execl(KELVORAN_BINARY, KELVORAN_BINARY, static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 200 && window.empty(); ++i) {
            sleepMs(100);
            std::istringstream ids(run("xdotool search --name '^Kelvoran v0.1$'"));
            ids >> window;
        }
        ASSERT_FALSE(window.empty()) << "no window titled Kelvoran v0.1 appeared";
        sleepMs(500);  // let the first frames and the loading lines through
    }

    // Real key events need the keyboard focus on the game's window.
    void key(const std::string& name) {
        run("xdotool windowfocus --sync " + window + " key " + name);
        sleepMs(150);
    }

    // Exit status, or -1 if the game was still running after the timeout.
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

    std::string geometry() { return run("xdotool getwindowgeometry " + window); }

    std::string audioDrivers = "null";

    // Plays levels/name: its map.txt and map.lua in the game's folder.
    void useLevel(const std::string& name) {
        const fs::path level = fs::path(KELVORAN_SOURCE_DIR) / "levels" / name;
        fs::copy_file(level / "map.txt", dir / "map.txt", fs::copy_options::overwrite_existing);
        fs::copy_file(level / "map.lua", dir / "map.lua", fs::copy_options::overwrite_existing);
    }

    // Waits up to timeoutMs for text on the game's standard output.
    bool printed(const std::string& text, int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 100) {
            if (readFile(dir / "stdout.txt").find(text) != std::string::npos) return true;
            sleepMs(100);
        }
        return false;
    }

    fs::path dir;
    pid_t pid = -1;
    pid_t xvfb = -1;
    std::string window;
};
}  // namespace

TEST_F(Game, EscapeEndsWithStatusZeroAndSavesTheMapItLoaded) {
    const std::string starterMap = readFile(dir / "map.txt");
    fs::remove(dir / "map.txt.bak");
    start();
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);
    const std::string out = readFile(dir / "stdout.txt");
    EXPECT_EQ(out.rfind("Kelvoran v0.1\n Launched with 1 args:\n1. ", 0), 0u) << out.substr(0, 200);
    EXPECT_NE(out.find("Creating Lightmap texture: 512 x 512\nLoading map.txt\nFile exist\n"),
              std::string::npos);
    // The starter map's quads are all valid, so what was loaded is saved back byte for byte.
    EXPECT_EQ(readFile(dir / "map.txt"), starterMap);
}

TEST_F(Game, FullScreenTogglesAndComesBackTo1024x600AtTheTopLeft) {
    start();
    EXPECT_NE(geometry().find("Geometry: 1024x600"), std::string::npos) << geometry();
    key("f");
    sleepMs(300);
    EXPECT_EQ(geometry().find("Geometry: 1024x600"), std::string::npos) << geometry();
    key("F");
    sleepMs(300);
    const std::string back = geometry();
    EXPECT_NE(back.find("Geometry: 1024x600"), std::string::npos) << back;
    EXPECT_NE(back.find("Position: 0,0"), std::string::npos) << back;
    key("Escape");
    EXPECT_EQ(waitForExit(10000), 0);
}

TEST_F(Game, SpaceSprinklesBoxesAtTheCursorAndKeyOneDropsACar) {
    start();
    run("xdotool mousemove --window " + window + " 612 200");
    run("xdotool windowfocus --sync " + window + " keydown space");
    sleepMs(2000);
    run("xdotool keyup space");
    key("1");
    sleepMs(300);
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);
    const std::string out = readFile(dir / "stdout.txt");
    // The cursor at window pixel (612, 200) is world (100, -100) with the camera at the origin.
    EXPECT_NE(out.find("  Box - POS:100/-100/ - 0x"), std::string::npos) << out.substr(0, 2000);
    EXPECT_NE(out.find("  Car - POS:10/20/ - 0x"), std::string::npos);
    EXPECT_NE(out.find("\n0 / 0 / 180 / 180\n"), std::string::npos);
}

TEST_F(Game, ALevelBuiltWithTheMouseIsSavedAndComesBackOnTheNextStart) {
    fs::remove(dir / "map.txt");
    start();
    key("3");  // a 40 x 40 square at (30, 30)
    const std::string mouse = "xdotool mousemove --window " + window + " ";
    run(mouse + "562 350");  // world (50, 50), inside the square
    run("xdotool click 1");  // select
    sleepMs(100);
    run("xdotool mousedown 1");  // grab the whole quad
    sleepMs(100);
    run(mouse + "570 354");
    run(mouse + "578 358");  // dragged by (16, 8)
    sleepMs(100);
    run("xdotool mouseup 1");  // snaps to the grid
    sleepMs(100);
    key("9");
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);

    start();
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);
    const std::string out = readFile(dir / "stdout.txt");
    EXPECT_NE(out.find("Loading map.txt\nFile exist\nFind 1 quads\n1.(48,40,88,40,88,80,48,80,0)\n"
                       "End of loading\n"),
              std::string::npos)
        << out.substr(out.find("Loading map.txt"));
}

namespace {
// Window pixels, cut off: the top-left statistics, whose numbers change from second to second.
struct Picture {
    int width = 0, height = 0;
    std::string rgb;
};
Picture readPpm(const fs::path& path) {
    Picture picture;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> picture.width >> picture.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255) return Picture{};
    picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
    in.read(&picture.rgb[0], static_cast<std::streamsize>(picture.rgb.size()));
    return picture;
}
int differingPixels(const Picture& a, const Picture& b, int x0, int y0, int x1, int y1) {
    int count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (x < 160 && y < 40) continue;  // the statistics
            const size_t i = (static_cast<size_t>(y) * a.width + x) * 3;
            count += a.rgb.compare(i, 3, b.rgb, i, 3) != 0;
        }
    }
    return count;
}
}  // namespace

TEST_F(Game, DeleteUndoAndRedoGiveBackTheExactBytesOfTheSavedMap) {
    // A quad of the starter map whose centre is on screen and inside no other quad's bounds.
    const std::string starter = readFile(dir / "map.txt");
    const size_t count = (starter.size() - 4) / 33;
    float cx = 0, cy = 0;
    bool found = false;
    auto corner = [&](size_t quad, int k) {
        float v;
        std::memcpy(&v, starter.data() + 4 + 33 * quad + 4 * k, 4);
        return v;
    };
    for (size_t i = 0; i < count && !found; ++i) {
        cx = (corner(i, 0) + corner(i, 2) + corner(i, 4) + corner(i, 6)) / 4;
        cy = (corner(i, 1) + corner(i, 3) + corner(i, 5) + corner(i, 7)) / 4;
        found = std::fabs(cx) < 480 && std::fabs(cy) < 260;
        for (size_t j = 0; j < count && found; ++j) {
            if (j == i) continue;
            const float xs[] = {corner(j, 0), corner(j, 2), corner(j, 4), corner(j, 6)};
            const float ys[] = {corner(j, 1), corner(j, 3), corner(j, 5), corner(j, 7)};
            found = !(cx >= *std::min_element(xs, xs + 4) && cx <= *std::max_element(xs, xs + 4) &&
                      cy >= *std::min_element(ys, ys + 4) && cy <= *std::max_element(ys, ys + 4));
        }
    }
    ASSERT_TRUE(found) << "the starter map has no lone quad on screen";

    start();
    key("9");
    const std::string original = readFile(dir / "map.txt");
    EXPECT_EQ(original, starter);
    run("xdotool mousemove --window " + window + " " + std::to_string(std::lround(cx + 512)) + " " +
        std::to_string(std::lround(cy + 300)));
    sleepMs(100);
    run("xdotool click 1");  // select
    sleepMs(150);
    key("Delete");
    key("9");
    const std::string deleted = readFile(dir / "map.txt");
    EXPECT_EQ(deleted.size(), original.size() - 33);
    key("ctrl+z");
    key("9");
    EXPECT_EQ(readFile(dir / "map.txt"), original);
    key("ctrl+y");
    key("9");
    EXPECT_EQ(readFile(dir / "map.txt"), deleted);
    key("ctrl+z");
    key("BackSpace");
    key("9");
    EXPECT_EQ(readFile(dir / "map.txt"), deleted);
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);
    const std::string out = readFile(dir / "stdout.txt");
    EXPECT_EQ(out.substr(out.size() - 15), "End of loading\n") << "the new keys print nothing";
}

TEST_F(Game, HelpPanelPressedTwiceGivesBackThePicture) {
    start();
    sleepMs(2000);  // the bursts of the map's covered edges have burnt out
    auto shot = [&](const char* name) {
        run("import -window " + window + " -depth 8 " + (dir / name).string());
        return readPpm(dir / name);
    };
    const Picture before = shot("before.ppm");
    ASSERT_GE(before.width, 1000);  // import may leave out the window's last row and column
    ASSERT_GE(before.height, 580);
    // The next frame shows a key's effect; a slow build (the sanitizers) may take a while to draw
    // it, so the picture is taken again until it shows or three seconds have gone.
    auto shotUntil = [&](const char* name, const std::function<bool(const Picture&)>& shows) {
        Picture picture;
        for (int waited = 0; waited < 3000; waited += 100) {
            sleepMs(100);
            picture = shot(name);
            if (picture.rgb.size() == before.rgb.size() && shows(picture)) break;
        }
        return picture;
    };
    key("h");
    const Picture help = shotUntil("help.ppm", [&](const Picture& p) {
        return differingPixels(before, p, 200, 150, 824, 450) > 100000;
    });
    ASSERT_EQ(help.rgb.size(), before.rgb.size());
    EXPECT_GT(differingPixels(before, help, 200, 150, 824, 450), 100000) << "no panel";
    key("h");
    const Picture after = shotUntil("after.ppm", [&](const Picture& p) {
        return differingPixels(before, p, 0, 0, before.width, before.height) == 0;
    });
    ASSERT_EQ(after.rgb.size(), before.rgb.size());
    EXPECT_EQ(differingPixels(before, after, 0, 0, before.width, before.height), 0);
    key("Escape");
    EXPECT_EQ(waitForExit(10000), 0);
}

TEST_F(Game, AWindowResizedOrUncoveredIsDrawnAgainAtOnce) {
    // The scene stands still, so the game draws only for the HUD numbers once a second; a
    // resize or a new exposure must not wait for that. Each event follows right after the
    // HUD's frame (its numbers just changed), so the next one is most of a second away, and
    // one of the shots taken during the next 600 ms must show the finished picture, as a shot
    // taken after the next publications shows it.
    start();
    sleepMs(2000);  // the bursts of the map's covered edges have burnt out
    auto shot = [&](const std::string& name) {
        run("import -window " + window + " -depth 8 " + (dir / name).string());
        return readPpm(dir / name);
    };
    auto since = [](std::chrono::steady_clock::time_point start) {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
    };
    auto statsDiffer = [](const Picture& a, const Picture& b) {
        if (a.rgb.size() != b.rgb.size()) return true;
        for (int y = 0; y < 40; ++y)
            if (a.rgb.compare(static_cast<size_t>(y) * a.width * 3, 160 * 3, b.rgb,
                              static_cast<size_t>(y) * b.width * 3, 160 * 3) != 0)
                return true;
        return false;
    };
    const char* sizes[] = {"1280 720", "", "", "1024 600"};
    for (int round = 0; round < 4; ++round) {
        const Picture hud = shot("hud.ppm");
        const auto looking = std::chrono::steady_clock::now();
        while (!statsDiffer(hud, shot("hud.ppm")) && since(looking) < 6000) {
        }
        ASSERT_LT(since(looking), 6000) << "the HUD numbers did not change";
        if (*sizes[round] != '\0') {
            run("xdotool windowsize --sync " + window + " " + sizes[round]);
        } else {
            run("xdotool windowunmap --sync " + window);  // hidden, then uncovered at that size
            run("xdotool windowmap --sync " + window);
        }
        const auto event = std::chrono::steady_clock::now();
        std::vector<Picture> soon;
        while (since(event) < 600) soon.push_back(shot("soon.ppm"));
        sleepMs(1500);
        const Picture later = shot("later.ppm");
        ASSERT_GT(later.width, 1000) << round;
        const bool drawn = std::any_of(soon.begin(), soon.end(), [&](const Picture& picture) {
            return picture.rgb.size() == later.rgb.size() &&
                   differingPixels(picture, later, 0, 0, later.width, later.height) < later.width * 2;
        });
        EXPECT_TRUE(drawn) << "round " << round << ": not drawn again within 600 ms";
    }
    key("Escape");
    EXPECT_EQ(waitForExit(10000), 0);
}

namespace {
// Everything in a folder (names and bytes), recursively, to show a run left it alone.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files[entry.path().string()] = entry.is_regular_file() ? readFile(entry.path()) : "<dir>";
    return files;
}
}  // namespace

TEST_F(Game, ASessionPlayedWithRealEventsReplaysToTheSameHashConsoleLinesAndMaps) {
    start();
    const std::string mouse = "xdotool mousemove --window " + window + " ";
    run(mouse + "612 200");
    run("xdotool windowfocus --sync " + window + " keydown space");
    sleepMs(1500);
    run("xdotool keyup space");
    key("1");
    key("z");
    key("p");
    key("3");
    run(mouse + "562 350");
    run("xdotool click 1");
    sleepMs(100);
    run("xdotool mousedown 1");
    run(mouse + "570 354");
    run(mouse + "578 358");
    run("xdotool mouseup 1");
    key("9");
    key("7");
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);

    std::vector<fs::path> sessions;
    for (const auto& entry : fs::directory_iterator(dir / "recordings")) sessions.push_back(entry.path());
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].filename().string().rfind("session-", 0), 0u);

    const fs::path replayDir = dir.string() + "-replay";
    const auto before = snapshot(dir);
    const std::string out = run("cd '" + dir.string() + "' && " + KELVORAN_SESSION_REPLAY + " --dir '" +
                                replayDir.string() + "' recordings/" +
                                sessions[0].filename().string() + "; echo status $?");
    const auto after = snapshot(dir);
    EXPECT_TRUE(before == after) << "the replay changed the folder it ran from";

    const size_t lastLine = out.rfind("replay matches: ");
    ASSERT_NE(lastLine, std::string::npos) << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
    EXPECT_NE(out.find(" steps, state ", lastLine), std::string::npos);
    EXPECT_EQ(out.substr(out.find('\n', lastLine) + 1), "status 0\n");
    // The same console lines as the game printed; boxes and cars print their addresses.
    const std::regex address("0x[0-9a-f]+");
    EXPECT_EQ(std::regex_replace(out.substr(0, lastLine), address, "ADDR"),
              std::regex_replace(readFile(dir / "stdout.txt"), address, "ADDR"));
    EXPECT_NE(out.find("  Box - POS:100/-100/"), std::string::npos);
    // Key 9 and Esc saved the same maps in the replay's folder.
    EXPECT_EQ(readFile(replayDir / "map.txt"), readFile(dir / "map.txt"));
    EXPECT_EQ(readFile(replayDir / "map.txt.bak"), readFile(dir / "map.txt.bak"));
    EXPECT_NE(readFile(dir / "map.txt.bak"), "");
    fs::remove_all(replayDir);
}

TEST_F(Game, AKilledGameLeavesARecordingThatReplaysUpToItsLastSecond) {
    start();
    run("xdotool mousemove --window " + window + " 612 200");
    run("xdotool windowfocus --sync " + window + " keydown space");
    sleepMs(2500);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
    run("xdotool keyup space");

    std::vector<fs::path> sessions;
    for (const auto& entry : fs::directory_iterator(dir / "recordings")) sessions.push_back(entry.path());
    ASSERT_EQ(sessions.size(), 1u);
    const std::string out = run("cd '" + dir.string() + "' && " + KELVORAN_SESSION_REPLAY + " " +
                                sessions[0].string() + "; echo status $?");
    const size_t last = out.rfind("replay cut short: ");
    ASSERT_NE(last, std::string::npos) << out.substr(out.size() > 1000 ? out.size() - 1000 : 0);
    EXPECT_EQ(out.find("diverged"), std::string::npos);
    EXPECT_NE(out.find("status 2\n", last), std::string::npos);
    // About three seconds were played; all but the last second reached the file.
    EXPECT_GE(std::stoi(out.substr(last + 18)), 100) << out.substr(last);
    EXPECT_NE(out.find("  Box - POS:100/-100/"), std::string::npos);
}

TEST_F(Game, ANamedPipeAsTheMapBlocksNeitherStartUpNorAReloadNorTheSave) {
    fs::remove(dir / "map.txt");
    ASSERT_EQ(mkfifo((dir / "map.txt").c_str(), 0644), 0);
    start();  // the window appears: the start-up did not wait for a writer
    key("7");
    key("Escape");  // the save fails: the game plays on and says so
    EXPECT_EQ(waitForExit(500), -1);
    key("Escape");  // while that shows: quit without saving
    ASSERT_EQ(waitForExit(10000), 0);
    const std::string out = readFile(dir / "stdout.txt");
    EXPECT_NE(out.find("Creating Lightmap texture: 512 x 512\nLoading map.txt\nLoading map.txt\n"),
              std::string::npos);
    EXPECT_EQ(out.find("File exist"), std::string::npos);
    EXPECT_EQ(readFile(dir / "stderr.txt"),
              "map.txt not loaded: it is a named pipe, not a regular file; the map starts empty\n"
              "map.txt not loaded: it is a named pipe, not a regular file; the current map stays\n"
              "Map not saved: cannot replace map.txt: not a regular file\n");
    EXPECT_TRUE(fs::is_fifo(dir / "map.txt"));
}

namespace {
// The quads of a saved map file, eight corner coordinates each.
std::vector<std::vector<float>> quadsOf(const std::string& bytes) {
    std::vector<std::vector<float>> quads;
    for (size_t at = 4; at + 33 <= bytes.size(); at += 33) {
        std::vector<float> corners(8);
        std::memcpy(corners.data(), bytes.data() + at, 32);
        quads.push_back(corners);
    }
    return quads;
}
}  // namespace

TEST_F(Game, WheelMiddleDragRubberBandAndCopyPasteWorkWithRealEvents) {
    fs::remove(dir / "map.txt");
    start();
    const std::string move = "xdotool mousemove --window " + window + " ";
    auto pointer = [&](int x, int y) {
        run(move + std::to_string(x + 3) + " " + std::to_string(y + 3));  // a motion event for sure
        run(move + std::to_string(x) + " " + std::to_string(y));
        sleepMs(100);
    };
    key("3");  // the square (30, 30)..(70, 70); window pixel = world + (512, 300)
    // A rubber band from empty space over the square selects it.
    pointer(512, 300);
    run("xdotool windowfocus --sync " + window + " keydown shift mousedown 1");
    sleepMs(100);
    pointer(560, 350);
    pointer(612, 400);
    run("xdotool mouseup 1 keyup shift");
    sleepMs(150);
    key("ctrl+c");
    pointer(712, 400);  // world (200, 100)
    key("ctrl+v");      // centred there by whole grid steps: moved by (152, 48)
    // Four wheel notches in about the window's centre: zoom 2, world (50, 50) now at (612, 400).
    pointer(512, 300);
    for (int i = 0; i < 4; ++i) run("xdotool click 4"), sleepMs(60);
    pointer(612, 400);
    key("ctrl+v");  // moved by (0, 0)
    // A middle drag brings world (50, 50) to the centre; (612, 400) is then world (100, 100).
    run("xdotool mousedown 2");
    sleepMs(100);
    pointer(560, 350);
    pointer(512, 300);
    run("xdotool mouseup 2");
    sleepMs(100);
    pointer(612, 400);
    key("ctrl+v");  // moved by (48, 48)
    key("9");
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);
    const std::vector<std::vector<float>> expected = {
        {30, 30, 70, 30, 70, 70, 30, 70},
        {182, 78, 222, 78, 222, 118, 182, 118},
        {30, 30, 70, 30, 70, 70, 30, 70},
        {78, 78, 118, 78, 118, 118, 78, 118},
    };
    EXPECT_EQ(quadsOf(readFile(dir / "map.txt")), expected);
    const std::string out = readFile(dir / "stdout.txt");
    EXPECT_EQ(out.substr(out.size() - 16), "Loading map.txt\n") << "nothing new on standard output";
}

TEST_F(Game, WithNoAudioDeviceTheGameSaysSoInOneLineAndPlaysOnSilently) {
    audioDrivers = "none-of-these";  // no output OpenAL knows: as on a server with no sound card
    start();
    run("xdotool mousemove --window " + window + " 612 200");
    run("xdotool windowfocus --sync " + window + " keydown space");
    sleepMs(1000);
    run("xdotool keyup space");
    key("1");
    key("z");
    key("m");
    key("m");
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);
    EXPECT_EQ(readFile(dir / "stderr.txt"), "Sound off: no audio device\n");
    EXPECT_NE(readFile(dir / "stdout.txt").find("  Car - POS:10/20/ - 0x"), std::string::npos);
}

TEST_F(Game, BurstsAreHeardThroughTheOutputDeviceAndNotWhenMuted) {
    // OpenAL Soft's wave output writes the game's mix, in real time, into a file.
    audioDrivers = "wave";
    std::ofstream(dir / "alsoft.conf") << "[wave]\nfile = " << (dir / "mix.wav").string() << "\n";
    double loudest[2] = {};
    for (int muted = 1; muted >= 0; --muted) {
        start();
        if (muted) key("m");
        key("z");
        sleepMs(1200);  // the bursts ring out
        key("Escape");
        ASSERT_EQ(waitForExit(10000), 0);
        EXPECT_EQ(readFile(dir / "stderr.txt"), "");
        SoundData mix;
        std::string problem;
        ASSERT_TRUE(readSoundFile((dir / "mix.wav").string(), SoundLimits(), mix, problem)) << problem;
        for (size_t at = 0; at + 4410 <= mix.samples.size(); at += 4410) {  // 100 ms at 44.1 kHz
            double sum = 0.0;
            for (size_t i = at; i < at + 4410; ++i) sum += double(mix.samples[i]) * mix.samples[i];
            loudest[muted] = std::max(loudest[muted], std::sqrt(sum / 4410.0));
        }
    }
    EXPECT_EQ(loudest[1], 0.0) << "heard while muted";
    EXPECT_GT(loudest[0], 0.02 * 32767) << "the bursts were not heard";
}

namespace {
// Pixels of the physics overlay's outline of a dynamic body, awake or asleep, inside a rectangle
// of window pixels: their count and mean x, and the topmost row that holds one.
struct Outline {
    int count = 0;
    double meanX = 0;
    int top = -1;
};
Outline dynamicOutline(const Picture& picture, int x0, int y0, int x1, int y1) {
    auto near = [](unsigned char v, int target) { return std::abs(static_cast<int>(v) - target) <= 2; };
    Outline outline;
    double sumX = 0;
    for (int y = y0; y < std::min(y1, picture.height); ++y) {
        for (int x = x0; x < std::min(x1, picture.width); ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(&picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3]);
            const bool awake = near(p[0], 230) && near(p[1], 179) && near(p[2], 179);
            const bool asleep = near(p[0], 153) && near(p[1], 153) && near(p[2], 153);
            if (!awake && !asleep) continue;
            if (outline.top < 0) outline.top = y;
            ++outline.count;
            sumX += x;
        }
    }
    if (outline.count > 0) outline.meanX = sumX / outline.count;
    return outline;
}
}  // namespace

TEST_F(Game, ACrateDraggedByTheRightButtonEndsWhereItWasLetGoAndTheSessionReplays) {
    start();
    auto shot = [&](const char* name) {
        run("import -window " + window + " -depth 8 " + (dir / name).string());
        return readPpm(dir / name);
    };
    const std::string mouse = "xdotool mousemove --window " + window + " ";
    // Crates at world (60, 120), just above the long quad: however many come, they stack there.
    run(mouse + "572 420");
    run("xdotool windowfocus --sync " + window + " keydown space");
    for (int waited = 0; waited < 8000; waited += 50) {
        if (readFile(dir / "stdout.txt").find("  Box - POS:60/120/") != std::string::npos) break;
        sleepMs(50);
    }
    run("xdotool keyup space");
    key("b");
    // A slow machine steps behind the clock: the waits below watch the picture, not the time.
    // Settled: two shots half a second apart outline the stack the same.
    Picture stacked;
    Outline stack;
    for (int waited = 0; waited < 10000; waited += 500) {
        sleepMs(500);
        stacked = shot("stacked.ppm");
        const Outline next = dynamicOutline(stacked, 550, 0, 595, 500);
        const bool still = next.count == stack.count && next.meanX == stack.meanX && waited >= 1500;
        stack = next;
        if (still) break;
    }
    ASSERT_GE(stacked.width, 1000);
    ASSERT_GE(stack.top, 0) << "no crate outlined above the long quad";
    // On the small quad at world x 330..410, top 40, where the crate will be let go: nothing yet.
    ASSERT_EQ(dynamicOutline(stacked, 840, 280, 925, 345).count, 0);

    // The top crate: up clear of the map, across, and down over the small quad.
    run(mouse + "572 " + std::to_string(stack.top + 16));
    sleepMs(100);
    run("xdotool mousedown 3");
    for (const char* to : {"572 300", "572 200", "680 200", "780 200", "882 200", "882 260", "882 300"}) {
        sleepMs(120);
        run(mouse + to);
    }
    // Hanging under the cursor before it is let go.
    for (int waited = 0; waited < 8000; waited += 100) {
        const Outline hanging = dynamicOutline(shot("hanging.ppm"), 840, 250, 925, 345);
        if (hanging.count >= 40 && std::abs(hanging.meanX - 882) < 10 && waited >= 1200) break;
        sleepMs(100);
    }
    run("xdotool mouseup 3");
    // Dropped 8 units onto the quad and at rest.
    Outline landed;
    for (int waited = 0; waited < 8000; waited += 300) {
        sleepMs(300);
        const Outline next = dynamicOutline(shot("landed.ppm"), 840, 280, 925, 345);
        const bool still = next.count == landed.count && next.meanX == landed.meanX && waited >= 1200;
        landed = next;
        if (still) break;
    }
    EXPECT_GE(landed.count, 40) << "no crate on the small quad";
    // Held by one point, a crate may still turn as it hangs and land on a corner, tipping over
    // by up to half its width.
    EXPECT_NEAR(landed.meanX, 882, 20) << "the crate is not where the cursor let it go";
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);

    std::vector<fs::path> sessions;
    for (const auto& entry : fs::directory_iterator(dir / "recordings")) sessions.push_back(entry.path());
    ASSERT_EQ(sessions.size(), 1u);
    const fs::path replayDir = dir.string() + "-replay";
    const std::string out = run("cd '" + dir.string() + "' && " + KELVORAN_SESSION_REPLAY + " --dir '" +
                                replayDir.string() + "' recordings/" +
                                sessions[0].filename().string() + "; echo status $?");
    fs::remove_all(replayDir);
    const size_t lastLine = out.rfind("replay matches: ");
    ASSERT_NE(lastLine, std::string::npos) << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
    EXPECT_EQ(out.substr(out.find('\n', lastLine) + 1), "status 0\n");
}

// The switch level played with real keys: crates dropped with x land on the plate and open the
// gate; an edit of map.lua reloads it while the game runs; r restarts the level.
TEST_F(Game, TheSwitchLevelOpensItsGateReloadsItsScriptAndRestarts) {
    useLevel("switch");
    start();
    key("x");
    sleepMs(2500);  // the crate falls onto the plate and settles
    std::string out = readFile(dir / "stdout.txt");
    EXPECT_NE(out.find("gate open at "), std::string::npos) << out.substr(out.size() > 3000 ? out.size() - 3000 : 0);

    std::ofstream(dir / "map.lua", std::ios::app) << "print('edited and reloaded')\n";
    sleepMs(1500);  // looked at twice a second
    out = readFile(dir / "stdout.txt");
    EXPECT_NE(out.find("edited and reloaded\n"), std::string::npos);

    key("r");
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);
    out = readFile(dir / "stdout.txt");
    // The restart ran the script once more.
    const size_t first = out.find("edited and reloaded\n");
    EXPECT_NE(out.find("edited and reloaded\n", first + 1), std::string::npos);
    EXPECT_EQ(readFile(dir / "stderr.txt").find("map.lua"), std::string::npos) << readFile(dir / "stderr.txt");
}

// The flag level: w held drives the car over the hill to the flag, which times the run.
TEST_F(Game, TheFlagLevelTimesADriveToTheFlag) {
    useLevel("flag");
    start();
    run("xdotool windowfocus --sync " + window + " keydown w");
    const bool reached = printed("flag reached in ", 20000);
    run("xdotool keyup w");
    EXPECT_TRUE(reached);
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);
    EXPECT_EQ(readFile(dir / "stderr.txt").find("map.lua"), std::string::npos) << readFile(dir / "stderr.txt");
}

// The see-saw level: x drops the weight and the crate on the other end flies.
TEST_F(Game, TheSeesawLevelLaunchesItsCrate) {
    useLevel("seesaw");
    start();
    key("x");
    EXPECT_TRUE(printed("the crate flew ", 10000));
    key("Escape");
    ASSERT_EQ(waitForExit(10000), 0);
    EXPECT_EQ(readFile(dir / "stderr.txt").find("map.lua"), std::string::npos) << readFile(dir / "stderr.txt");
}
