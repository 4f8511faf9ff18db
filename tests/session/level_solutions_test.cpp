// level_solutions_test.cpp: every example level carries a recording of it being solved, and that
// recording replays in kelvoran-replay to the line the level prints when solved, and to its hash.
// KELVORAN_REGENERATE_SOLUTIONS=1 records them again (after a change to a level on purpose).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/host.h"
#include "game/input.h"
#include "game/level_script.h"
#include "session/headless.h"
#include "session/recording.h"
#include "script/scripting.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

namespace {
struct Solution {
    const char* level;
    int32_t endTime;  // ms
    unsigned char key;  // pressed at 500 ms, and held from then on when held
    bool held;
    const char* solved;  // the start of the line the level prints
};

const Solution kSolutions[] = {
    {"flag", 32000, 'w', true, "flag reached in "},
    {"seesaw", 4000, 'x', false, "the crate flew "},
    {"switch", 4000, 'x', false, "gate open at "},
    {"bridge", 16000, 'x', false, "bridge crossed in "},
    {"pendulum", 7000, 'x', false, "the last ball swung "},
    {"chain", 11000, 'x', false, "chain reaction complete in "},
    {"gallery", 5000, 'x', false, "gallery: 35 of 35 pieces standing"},
};

int32_t scriptedTime = 0;
bool leaveAsked = false;
int32_t scriptedClock() { return recordReading(scriptedTime); }

// Plays the level with its key from a fresh folder, recording into path.
void recordSolution(const Solution& solution, const fs::path& level, const fs::path& path,
                    const fs::path& folder) {
    openTestWindow();
    fs::create_directories(folder);
    for (const auto& entry : fs::directory_iterator(level))
        if (entry.is_regular_file() && entry.path().filename() != "solution.krec")
            fs::copy_file(entry.path(), folder / entry.path().filename(), fs::copy_options::overwrite_existing);
    const fs::path home = fs::current_path();
    fs::current_path(folder);
    installScripting();
    std::string name = "kelvoran";
    char* argv[] = {&name[0]};
    int argc = 1;
    scriptedTime = 0;
    leaveAsked = false;
    Host recorded = headlessHost();
    recorded.clock = scriptedClock;
    recorded.readMap = readAndRecordMap;
    recorded.readScript = readAndRecordScript;
    recorded.readLevelFile = readAndRecordLevelFile;
    recorded.window.leaveMainLoop = [] { leaveAsked = true; };
    const ScopedHost host(recorded);
    captureStdout([&] {
        beginRecording(path.string(), argc, argv);
        startGame(argc, argv, true, [](int&, char**) {});
        recordStartupDone();
        recordedReshape(1024, 600);
        for (scriptedTime = 1; scriptedTime <= solution.endTime && !leaveAsked; ++scriptedTime) {
            if (scriptedTime == 500) recordedKeyDown(solution.key, 0, 0);
            if (scriptedTime == 600 && !solution.held) recordedKeyUp(solution.key, 0, 0);
            recordedPass();
        }
        endRecording();
        shutdownGame(false);
    });
    uninstallScriptHooks();
    fs::current_path(home);
}

class LevelSolution : public testing::TestWithParam<Solution> {};

// kelvoran-replay's output on the recording, run in dir.
std::string replayOutput(const fs::path& dir, const fs::path& recording) {
    const std::string command = "cd '" + dir.string() + "' && " + KELVORAN_SESSION_REPLAY + " --dir play '" +
                                recording.string() + "' 2>&1";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        EXPECT_EQ(pclose(pipe), 0) << out.substr(out.size() > 3000 ? out.size() - 3000 : 0);
    }
    return out;
}
}  // namespace

TEST_P(LevelSolution, ReplaysToTheLineItPrintsWhenSolved) {
    const Solution& solution = GetParam();
    const fs::path level = fs::path(KELVORAN_SOURCE_DIR) / "levels" / solution.level;
    const fs::path recording = level / "solution.krec";
    char pattern[] = "/tmp/kelvoran-solution-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    if (const char* regenerate = std::getenv("KELVORAN_REGENERATE_SOLUTIONS"); regenerate && *regenerate == '1') {
        // In a process of its own, so the session starts from the game's first state.
        const pid_t child = fork();
        if (child == 0) {
            recordSolution(solution, level, recording, dir / "record");
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ASSERT_TRUE(fs::exists(recording)) << recording;
    const std::string out = replayOutput(dir, recording);
    fs::remove_all(dir);
    EXPECT_NE(out.find(std::string("\n") + solution.solved), std::string::npos) << out.substr(0, 3000);
    EXPECT_NE(out.find("\nreplay matches: "), std::string::npos) << out.substr(out.size() > 3000 ? out.size() - 3000 : 0);
}

INSTANTIATE_TEST_SUITE_P(Example, LevelSolution, testing::ValuesIn(kSolutions),
                         [](const testing::TestParamInfo<Solution>& param) { return std::string(param.param.level); });

// A level's own files are read through the recorder, so a replay needs none of them: the sound
// and a damaged one play back as they did, the damaged one stopping the script with its name.
TEST(LevelFileRecording, ASessionReadingTheLevelsOwnFilesReplaysWithoutThem) {
    char pattern[] = "/tmp/kelvoran-level-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const fs::path level = dir / "level";
    fs::create_directories(level);
    fs::copy_file(fs::path(KELVORAN_SOURCE_DIR) / "levels/switch/map.txt", level / "map.txt");
    fs::copy_file(fs::path(KELVORAN_SOURCE_DIR) / "assets/thud.wav", level / "bong.wav");
    std::ofstream(level / "broken.wav", std::ios::binary) << "RIFF?";
    std::ofstream(level / "map.lua", std::ios::binary)
        << "function on_key(key) game.sound('bong.wav', 0, 0); print('played') game.sound('broken.wav') end\n";
    const Solution solution{"", 1500, 'x', false, ""};
    const pid_t child = fork();
    if (child == 0) {
        recordSolution(solution, level, dir / "files.krec", dir / "record");
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    fs::create_directories(dir / "replay");
    const std::string out = replayOutput(dir / "replay", dir / "files.krec");
    EXPECT_NE(out.find("\nplayed\n"), std::string::npos) << out;
    EXPECT_NE(out.find("game.sound: broken.wav: "), std::string::npos) << out;
    EXPECT_NE(out.find("\nreplay matches: "), std::string::npos) << out;
    fs::remove_all(dir);
}
