// kelvoran-level: a level packed from a folder checks sound, and verify tells a recording that
// finishes the level from one that does not.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/host.h"
#include "game/level_script.h"
#include "kelvoran_level/level_tool.h"
#include "script/scripting.h"
#include "session/recording.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

namespace {
// Finished by pressing x: the score is the time it took.
constexpr const char* kScript =
    "function on_key(key)\n"
    "  if key == 'x' then game.finish(game.time(), string.format('%.2f s', game.time())) end\n"
    "end\n";

int32_t scriptedTime = 0;
int32_t scriptedClock() { return recordReading(scriptedTime); }

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Plays the level in folder headless for endTime ms through the real recorder, pressing x at
// pressAt ms (never when negative), into folder/solution.krec.
void recordSolution(const fs::path& folder, int32_t endTime, int32_t pressAt) {
    const fs::path home = fs::current_path();
    fs::current_path(folder);
    installScripting();
    std::string name = "kelvoran";
    char* argv[] = {name.data()};
    int argc = 1;
    scriptedTime = 0;
    Host recorded = headlessHost();
    recorded.clock = scriptedClock;
    recorded.readMap = readAndRecordMap;
    recorded.readScript = readAndRecordScript;
    const ScopedHost host(recorded);
    captureStdout([&] {
        beginRecording((folder / "solution.krec").string(), argc, argv);
        startGame(argc, argv, true, [](int&, char**) {});
        recordStartupDone();
        recordedReshape(1024, 600);
        for (scriptedTime = 1; scriptedTime <= endTime; ++scriptedTime) {
            if (scriptedTime == pressAt) recordedKeyDown('x', 0, 0);
            recordedPass();
        }
        endRecording();
        shutdownGame(false);
    });
    uninstallScriptHooks();
    fs::current_path(home);
}

fs::path makeLevelFolder() {
    const fs::path folder = fs::current_path() / "tiny";
    fs::create_directories(folder);
    fs::copy_file(fs::path(KELVORAN_ASSETS) / "map.txt", folder / "map.txt");
    writeText(folder / "map.lua", kScript);
    writeText(folder / "level.json", "{\"title\": \"Tiny\", \"author\": \"Tests\", \"licence\": \"CC0\"}");
    return folder;
}

int run(int (*command)(const std::string&, std::ostream&, std::ostream&), const std::string& path,
        std::string& said) {
    std::ostringstream out, err;
    const int status = command(path, out, err);
    said = out.str() + err.str();
    return status;
}
}  // namespace

TEST(LevelTool, ARecordingThatFinishesTheLevelVerifiesAndOneThatDoesNotSaysSo) {
    const fs::path folder = makeLevelFolder();
    std::ostringstream out, err;
    std::string said;

    recordSolution(folder, 3000, 1500);
    ASSERT_EQ(packLevel(folder.string(), "solved.kvlevel", out, err), 0) << err.str();
    EXPECT_EQ(run(checkLevel, "solved.kvlevel", said), 0) << said;
    EXPECT_EQ(run(verifyLevel, "solved.kvlevel", said), 0) << said;
    // x at 1500 ms: the script had run its 148th step (the first falls at 20 ms).
    EXPECT_EQ(said, "solved.kvlevel: solved in 148 steps (1.48 s)\n");

    recordSolution(folder, 3000, -1);
    ASSERT_EQ(packLevel(folder.string(), "unsolved.kvlevel", out, err), 0) << err.str();
    EXPECT_EQ(run(checkLevel, "unsolved.kvlevel", said), 0) << said;
    EXPECT_EQ(run(verifyLevel, "unsolved.kvlevel", said), 1);
    EXPECT_EQ(said, "unsolved.kvlevel: not solved: the level was not finished in the 299 steps played\n");

    // A solution of another level's script proves nothing about this one.
    writeText(folder / "map.lua", std::string(kScript) + "-- changed\n");
    ASSERT_EQ(packLevel(folder.string(), "other.kvlevel", out, err), 0) << err.str();
    EXPECT_EQ(run(verifyLevel, "other.kvlevel", said), 1);
    EXPECT_EQ(said, "other.kvlevel: not solved: the solution was recorded with another script\n");
}

TEST(LevelTool, UnpackThenPackGivesTheSameFiles) {
    const fs::path folder = makeLevelFolder();
    std::ostringstream out, err;
    ASSERT_EQ(packLevel(folder.string(), "first.kvlevel", out, err), 0) << err.str();
    ASSERT_EQ(unpackLevel("first.kvlevel", "edit", out, err), 0) << err.str();
    ASSERT_EQ(packLevel("edit", "second.kvlevel", out, err), 0) << err.str();
    std::ifstream first("first.kvlevel", std::ios::binary), second("second.kvlevel", std::ios::binary);
    const std::string a((std::istreambuf_iterator<char>(first)), {}), b((std::istreambuf_iterator<char>(second)), {});
    EXPECT_EQ(a, b);
    // Never over what is there.
    EXPECT_EQ(unpackLevel("first.kvlevel", "edit", out, err), 2);
}
