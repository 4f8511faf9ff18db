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
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <vector>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {
std::string run(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
        pclose(pipe);
    }
    return output;
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts Xvfb on a free display and waits until it answers; returns its pid, or -1.
pid_t startPrivateDisplay(std::string& display) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int number = 300 + static_cast<int>((getpid() * 7 + attempt * 13) % 600);
        const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (fs::exists(lock) || fs::exists(socket)) continue;
        display = ":" + std::to_string(number);
        const pid_t server = fork();
        if (server == 0) {
            if (!freopen("/dev/null", "w", stderr) || !freopen("/dev/null", "w", stdout)) _exit(126);
            // -noreset: no server reset, and no refused connections, between two clients.
            execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1600x1200x24", "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int waited = 0; waited < 5000; waited += 50) {
            if (run("xdpyinfo -display " + display).find("screen #0") != std::string::npos)
                return server;
            if (waitpid(server, nullptr, WNOHANG) == server) break;  // lost a race for the number
            sleepMs(50);
        }
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    return -1;
}

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
    key("h");
    sleepMs(100);
    const Picture help = shot("help.ppm");
    ASSERT_EQ(help.rgb.size(), before.rgb.size());
    EXPECT_GT(differingPixels(before, help, 200, 150, 824, 450), 100000) << "no panel";
    key("h");
    sleepMs(100);
    const Picture after = shot("after.ppm");
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
    key("Escape");
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
