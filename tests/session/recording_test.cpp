// Session recordings: committed golden sessions replay to their hashes, damaged and cut files are
// reported and never crash the replay, the recordings folder keeps the newest sessions.
// KELVORAN_REGENERATE_GOLDEN=1 re-records the golden sessions (on purpose, after a change to the
// game's behaviour) into tests/session/golden/ before checking them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "session/headless.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "game/map_loading.h"
#include "session/recording.h"
#include "session/recording_format.h"
#include "session/session_replay.h"
#include "game/game.h"
#include "game/host.h"
#include "game/state_hash.h"
#include "game/level_script.h"
#include "render/texture.h"
#include "script/scripting.h"
#include "support/gl_window.h"
#include "support/property_cases.h"

namespace fs = std::filesystem;

namespace {
const fs::path kGolden = fs::path(KELVORAN_SOURCE_DIR) / "tests/session/golden";

struct ToolRun {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
    std::string lastLine() const {
        const size_t end = out.find_last_not_of('\n');
        if (end == std::string::npos) return "";
        const size_t newline = out.rfind('\n', end);
        const size_t start = newline == std::string::npos ? 0 : newline + 1;
        return out.substr(start, end + 1 - start);
    }
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs kelvoran-replay in folder with the given arguments.
ToolRun replayTool(const fs::path& folder, const std::string& arguments) {
    const fs::path err = folder / "stderr.txt";
    const std::string command = "cd '" + folder.string() + "' && " + KELVORAN_SESSION_REPLAY + " " +
                                arguments + " 2>'" + err.string() + "'";
    ToolRun run;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    run.err = readFile(err);
    fs::remove(err);
    return run;
}

class SessionRecording : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelvoran-recording-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

// --- the golden sessions: the real recorder's wrappers driven headless on a scripted clock

int32_t scriptedTime = 0;
bool leaveAsked = false;
int32_t scriptedClock() { return recordReading(scriptedTime); }

struct Golden {
    const char* name;
    std::vector<std::string> arguments;
    const char* script;  // parseInputScript's format
    int32_t endTime;
};

const Golden kGoldenSessions[] = {
    {"crates-car-reload.krec", {"kelvoran"},
     "100 move 600 120\n200 key 32\n1500 move 700 100\n4000 keyup 32\n4100 key 49\n"
     "4200 key 100\n5000 keyup 100\n5100 key 122\n5200 key 112\n6000 key 55\n6100 key 119\n"
     "7900 keyup 119\n8000 key 32\n8000 move 300 200\n14000 keyup 32\n15000 key 56\n"
     "16000 key 97\n17000 keyup 97\n19000 key 27\n",
     20000},
    {"editor-drag-save.krec", {"kelvoran", "editor"},
     "100 key 51\n200 move 562 350\n300 press 0\n350 release 0\n400 press 0\n450 move 570 354\n"
     "500 move 578 358\n550 release 0\n600 key 57\n700 key 54\n800 press 0\n850 release 0\n"
     "900 key 53\n1000 key 56\n1100 move 100 100\n1200 press 0\n1300 key 52\n1500 key 27\n",
     2000},
};

void deliver(const InputEvent& event) {
    switch (event.kind) {
        case InputEvent::Kind::KeyDown: recordedKeyDown(static_cast<unsigned char>(event.a), 0, 0); break;
        case InputEvent::Kind::KeyUp: recordedKeyUp(static_cast<unsigned char>(event.a), 0, 0); break;
        case InputEvent::Kind::Move: recordedPassiveMotion(event.a, event.b); break;
        case InputEvent::Kind::ButtonDown: recordedMouseButton(event.a, 0, 0, 0); break;
        case InputEvent::Kind::ButtonUp: recordedMouseButton(event.a, 1, 0, 0); break;
    }
}

// A level script for a recorded session: map.lua at start-up, replaced by later at laterAt ms.
struct LevelScript {
    std::string first, later;
    int32_t laterAt = 0;
};

// Records one session into path, calling events with every scripted millisecond before its pass,
// and returns "steps hash" of its end.
std::string recordSession(std::vector<std::string> arguments, int32_t endTime,
                          const std::function<void(int32_t)>& events, const fs::path& path,
                          const fs::path& folder, const LevelScript* level = nullptr) {
    openTestWindow();  // onReshape sets the viewport of a real context
    fs::copy_file(fs::path(KELVORAN_ASSETS) / "map.txt", folder / "map.txt",
                  fs::copy_options::overwrite_existing);
    const fs::path home = fs::current_path();
    fs::current_path(folder);
    if (level) {
        writeFile("map.lua", level->first);
        installScripting();
    }
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(&a[0]);
    int argc = static_cast<int>(argv.size());
    scriptedTime = 0;
    leaveAsked = false;
    Host recorded = headlessHost();
    recorded.clock = scriptedClock;
    recorded.readMap = readAndRecordMap;
    recorded.readScript = readAndRecordScript;
    recorded.window.leaveMainLoop = [] { leaveAsked = true; };
    const ScopedHost host(recorded);
    std::string end;
    captureStdout([&] {
        beginRecording(path.string(), argc, argv.data());
        startGame(argc, argv.data(), true, [](int&, char**) {});
        recordStartupDone();
        recordedReshape(1024, 600);
        for (scriptedTime = 1; scriptedTime <= endTime && !leaveAsked; ++scriptedTime) {
            events(scriptedTime);
            if (level && scriptedTime == level->laterAt) writeFile("map.lua", level->later);
            if (!leaveAsked) recordedPass();
        }
        endRecording();
        end = std::to_string(recordedSteps()) + " " + formatHash(stateHash());
        shutdownGame(false);
    });
    if (level) uninstallScriptHooks();
    fs::current_path(home);
    return end;
}

std::string recordGolden(const Golden& golden, const fs::path& path, const fs::path& folder,
                         const LevelScript* level = nullptr) {
    std::istringstream script(golden.script);
    const std::vector<InputEvent> events = parseInputScript(script);
    size_t next = 0;
    return recordSession(golden.arguments, golden.endTime, [&](int32_t now) {
        while (next < events.size() && events[next].time <= now) deliver(events[next++]);
    }, path, folder, level);
}

std::vector<std::pair<std::string, std::string>> goldenHashes() {
    std::vector<std::pair<std::string, std::string>> hashes;
    std::istringstream lines(readFile(kGolden / "hashes.txt"));
    std::string name, steps, hash;
    while (lines >> name >> steps >> hash) hashes.emplace_back(name, steps + " steps, state " + hash);
    return hashes;
}

// Walks the records after the header: (offset, payload size) of each.
std::vector<std::pair<size_t, size_t>> recordsOf(const std::string& bytes) {
    std::vector<std::pair<size_t, size_t>> records;
    size_t pos = 8 + (static_cast<uint8_t>(bytes[6]) | static_cast<uint8_t>(bytes[7]) << 8) + 4;
    while (pos + 9 <= bytes.size()) {
        size_t length = 0;
        for (int i = 0; i < 4; ++i) length |= static_cast<size_t>(static_cast<uint8_t>(bytes[pos + 1 + i])) << (8 * i);
        records.emplace_back(pos, length);
        pos += 9 + length;
    }
    return records;
}
}  // namespace

TEST_F(SessionRecording, GoldenSessionsReplayToTheirCommittedHashes) {
    if (const char* regenerate = std::getenv("KELVORAN_REGENERATE_GOLDEN"); regenerate && *regenerate == '1') {
        std::ofstream hashes(kGolden / "hashes.txt");
        fs::create_directories(dir / "record");
        // Each session in a process of its own, so each starts from the game's first state.
        for (const Golden& golden : kGoldenSessions) {
            const fs::path endFile = dir / "end.txt";
            const pid_t child = fork();
            if (child == 0) {
                writeFile(endFile, recordGolden(golden, kGolden / golden.name, dir / "record"));
                _exit(0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            hashes << golden.name << " " << readFile(endFile) << "\n";
        }
        fs::remove_all(dir / "record");
        fs::remove(dir / "end.txt");
    }
    const auto hashes = goldenHashes();
    ASSERT_EQ(hashes.size(), std::size(kGoldenSessions));
    for (const auto& [name, expected] : hashes) {
        const ToolRun run = replayTool(dir, "--dir play-" + name + " " + (kGolden / name).string());
        EXPECT_EQ(run.status, 0) << name << "\n" << run.err;
        EXPECT_EQ(run.lastLine(), "replay matches: " + expected) << name << "\n" << run.err;
        // The banner and the recorded arguments print as the game printed them.
        EXPECT_EQ(run.out.rfind("Kelvoran v0.1\n Launched with ", 0), 0u) << name;
        // Both sessions end with Esc, which saves the map in the replay's folder.
        EXPECT_TRUE(fs::exists(dir / ("play-" + name) / "map.txt")) << name;
    }
    // Nothing lands in the folder the replay runs from.
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename());
    EXPECT_EQ(left.size(), hashes.size());
}

TEST_F(SessionRecording, AFlippedByteIsReportedAsCorruptOrDivergentNeverReplayedOrCrashed) {
    const std::string original = readFile(kGolden / kGoldenSessions[1].name);
    ASSERT_GT(original.size(), 200u);
    const fs::path file = dir / "flipped.krec";
    int divergences = 0;
    // Every header byte and bytes spread over the whole file, flipped as they lie: the checksums
    // catch them before anything is played.
    const size_t headerStride = 64 / static_cast<size_t>(propertyCases(64));
    const size_t spreadStride = original.size() / static_cast<size_t>(propertyCases(60));
    for (size_t at = 0; at < original.size(); at += (at < 64 ? headerStride : spreadStride)) {
        std::string bytes = original;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x5a);
        writeFile(file, bytes);
        const ToolRun run = replayTool(dir, file.string());
        EXPECT_EQ(run.status, 2) << "byte " << at << "\n" << run.out.substr(0, 300) << run.err;
        EXPECT_NE(run.err.find("kelvoran-replay: "), std::string::npos) << "byte " << at;
    }
    // The same inside entry batches with their checksums made good again: the bytes reach the
    // decoder and the player, which may refuse them, play them differently or (for a change that
    // leaves the state alone) agree, but never crash.
    const auto records = recordsOf(original);
    for (const auto& [offset, length] : records) {
        if (original[offset] != 3) continue;  // entry batches only
        for (size_t i = 0; i < length; i += 1 + length / static_cast<size_t>(propertyCases(40))) {
            std::string bytes = original;
            bytes[offset + 5 + i] = static_cast<char>(bytes[offset + 5 + i] ^ 0x01);
            const uint32_t crc = static_cast<uint32_t>(
                crc32(0L, reinterpret_cast<const Bytef*>(bytes.data() + offset), static_cast<uInt>(5 + length)));
            for (int k = 0; k < 4; ++k) bytes[offset + 5 + length + k] = static_cast<char>(crc >> (8 * k));
            writeFile(file, bytes);
            const ToolRun run = replayTool(dir, file.string());
            EXPECT_TRUE(run.status == 0 || run.status == 1 || run.status == 2)
                << "byte " << offset + 5 + i << " status " << run.status;
            if (run.status == 1) {
                ++divergences;
                EXPECT_EQ(run.lastLine().rfind("replay diverged at step ", 0), 0u) << run.lastLine();
            }
        }
    }
    EXPECT_GT(divergences, 0);
}

TEST_F(SessionRecording, ARecordingCutAtEveryThousandthByteReplaysToItsLastCompleteRecord) {
    const std::string original = readFile(kGolden / kGoldenSessions[0].name);
    ASSERT_GT(original.size(), 5000u);
    const fs::path file = dir / "cut.krec";
    int64_t previousSteps = 0;
    for (size_t cut = 1000; cut < original.size(); cut += 1000) {
        writeFile(file, original.substr(0, cut));
        const ToolRun run = replayTool(dir, file.string());
        ASSERT_EQ(run.status, 2) << "cut " << cut << "\n" << run.err;
        EXPECT_NE(run.err.find("cut short"), std::string::npos) << run.err;
        // The steps of the intact records before the cut, and every checkpoint among them met.
        const Recording prefix = decodeRecording(reinterpret_cast<const uint8_t*>(original.data()), cut);
        int64_t steps = 0;
        for (const Entry& entry : prefix.entries)
            if (entry.tag == Entry::Tag::Pass) steps += entry.a;
        const std::string line = run.lastLine();
        EXPECT_EQ(line.rfind("replay cut short: " + std::to_string(steps) + " steps, state ", 0), 0u)
            << "cut " << cut << ": " << line;
        EXPECT_EQ(run.out.find("diverged"), std::string::npos);
        EXPECT_GE(steps, previousSteps);
        previousSteps = steps;
    }
    EXPECT_GT(previousSteps, 0);
}

TEST_F(SessionRecording, OtherFormatVersionsAndUnreadableFilesAreRefusedClearly) {
    std::string bytes = readFile(kGolden / kGoldenSessions[1].name);
    bytes[4] = 3;  // the format version, little-endian
    bytes[5] = 0;
    writeFile(dir / "v3.krec", bytes);
    const ToolRun other = replayTool(dir, "v3.krec");
    EXPECT_EQ(other.status, 2);
    EXPECT_NE(other.err.find("format version 3; this program reads versions 1 to 2 only"), std::string::npos)
        << other.err;
    EXPECT_EQ(other.out, "");
    const ToolRun missing = replayTool(dir, "absent.krec");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot read absent.krec"), std::string::npos) << missing.err;
}

TEST_F(SessionRecording, RecordingsFolderKeepsTheNewest20UnderUniqueNamesAndFailsQuietly) {
    const fs::path folder = dir / "recordings";
    fs::create_directories(folder);
    for (int i = 0; i < 25; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "session-2000%04d-120000.krec", 101 + i);
        const std::vector<uint8_t> header = encodeHeader("an old build");
        writeFile(folder / name, std::string(header.begin(), header.end()));
    }
    writeFile(folder / "notes.txt", "mine");
    // Named like sessions, but not recordings by their header, or dated years ahead: never
    // deleted, and not counted among the newest.
    const std::vector<std::string> strangers = {"session-19991231-120000.krec",
                                                "session-20000202-120000_02.krec",
                                                "session-20991231-235959.krec"};
    writeFile(folder / strangers[0], "mine, named like a session");
    writeFile(folder / strangers[1], "KREC\x01");
    const std::vector<uint8_t> future = encodeHeader(recordingBuildId());
    writeFile(folder / strangers[2], std::string(future.begin(), future.end()));
    char program[] = "kelvoran";
    char* argv[] = {program, nullptr};
    std::vector<std::string> made;
    for (int i = 0; i < 3; ++i) {  // well within one second
        ASSERT_TRUE(beginSessionRecording(folder.string(), 1, argv));
        made.push_back(fs::path(recordingPath()).filename());
        endRecording();
    }
    EXPECT_NE(made[0], made[1]);
    EXPECT_NE(made[1], made[2]);
    std::vector<std::string> sessions;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".krec") sessions.push_back(entry.path().filename());
    for (const std::string& stranger : strangers) {
        const auto found = std::find(sessions.begin(), sessions.end(), stranger);
        EXPECT_NE(found, sessions.end()) << stranger;
        if (found != sessions.end()) sessions.erase(found);
    }
    std::sort(sessions.begin(), sessions.end());
    ASSERT_EQ(sessions.size(), 20u);
    EXPECT_EQ(sessions.front(), "session-20000109-120000.krec");  // the 17 newest old ones remain
    EXPECT_EQ(std::vector<std::string>(sessions.end() - 3, sessions.end()), made);  // sorted by time
    EXPECT_TRUE(fs::exists(folder / "notes.txt"));

    // A folder that cannot be made costs one line on standard error and nothing else.
    writeFile(dir / "blocked", "a file where the folder should be");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(beginSessionRecording((dir / "blocked").string(), 1, argv));
    EXPECT_EQ(recordReading(42), 42);
    recordedKeyUp('a', 0, 0);
    endRecording();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(SessionRecording, WatchPlaysAtTheRecordedSpeedAndEndsWithTheSameHash) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display";
    const auto hashes = goldenHashes();
    const std::string name = kGoldenSessions[1].name;
    const auto start = std::chrono::steady_clock::now();
    const ToolRun run = replayTool(dir, "--watch --assets '" + std::string(KELVORAN_ASSETS) + "' " +
                                        (kGolden / name).string());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.lastLine(), "replay matches: " + hashes[1].second);
    // The session lasted 1.5 s of game time; a watched replay cannot be quicker than that.
    EXPECT_GE(took, std::chrono::milliseconds(1400));
}

// The editor's new inputs: modifier keys, a special key, the wheel and the middle button, each
// written as the window system gave it and played back to the same state.
TEST_F(SessionRecording, ModifiersHomeWheelAndMiddleDragReplayToTheSameState) {
    const fs::path path = dir / "tools.krec";
    const fs::path endFile = dir / "end.txt";
    fs::create_directories(dir / "record");
    const pid_t child = fork();
    if (child == 0) {
        const auto events = [](int32_t now) {
            switch (now) {
                case 100: recordedPassiveMotion(562, 350); break;
                case 150: recordedModifiers(0), recordedKeyDown('3', 0, 0); break;   // a square at 30..70
                case 200: recordedModifiers(1), recordedMouseButton(0, 0, 562, 350); break;  // Shift+click
                case 250: recordedMouseButton(0, 1, 562, 350); break;
                case 300: recordedModifiers(2), recordedKeyDown(3, 0, 0); break;  // Ctrl+C
                case 350: recordedMouseButton(3, 0, 700, 200), recordedMouseButton(3, 1, 700, 200); break;
                case 400: recordedMouseButton(1, 0, 500, 300); break;
                case 420: recordedMotion(540, 330); break;
                case 440: recordedMouseButton(1, 1, 540, 330); break;
                case 500: recordedPassiveMotion(300, 200); break;
                case 520: recordedModifiers(2), recordedKeyDown(22, 0, 0); break;  // Ctrl+V
                case 540: recordedKeyDown(4, 0, 0); break;                        // Ctrl+D
                case 600: recordedModifiers(0), recordedSpecialKey(106, 0, 0); break;  // Home
                case 700: recordedKeyDown('9', 0, 0); break;
                case 800: recordedKeyDown(27, 0, 0); break;
                default: break;
            }
        };
        writeFile(endFile, recordSession({"kelvoran"}, 1000, events, path, dir / "record"));
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string bytes = readFile(path);
    const Recording recording = decodeRecording(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_EQ(recording.problem, Recording::Problem::None) << recording.problemText;
    std::vector<int64_t> modifiers, special;
    for (const Entry& entry : recording.entries) {
        if (entry.tag == Entry::Tag::Modifiers) modifiers.push_back(entry.a);
        if (entry.tag == Entry::Tag::SpecialKey) special.push_back(entry.a);
    }
    // Once at start-up, then only when they change.
    EXPECT_EQ(modifiers, (std::vector<int64_t>{0, 1, 2, 0}));
    EXPECT_EQ(special, std::vector<int64_t>{106});

    const ToolRun played = replayTool(dir, "--dir play " + path.string());
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_EQ(played.lastLine(), "replay matches: " + [&] {
        const std::string end = readFile(endFile);
        return end.substr(0, end.find(' ')) + " steps, state " + end.substr(end.find(' ') + 1);
    }()) << played.err;
    // The paste and the duplicate reached the saved map in the replay as in the game.
    EXPECT_EQ(readFile(dir / "play" / "map.txt"), readFile(dir / "record" / "map.txt"));
    EXPECT_GT(readFile(dir / "record" / "map.txt").size(), readFile(fs::path(KELVORAN_ASSETS) / "map.txt").size() + 33);
}

// A recording from before the wheel, the middle button and the clipboard keys acted replays as
// it did then: the golden session with a wheel notch and a middle drag slipped in still matches.
TEST_F(SessionRecording, OlderRecordingsPlayTheNewButtonsAsTheyActedThen) {
    const Golden& golden = kGoldenSessions[1];
    const std::string original = readFile(kGolden / golden.name);
    const Recording recording = decodeRecording(reinterpret_cast<const uint8_t*>(original.data()), original.size());
    ASSERT_EQ(recording.problem, Recording::Problem::None);
    std::vector<Entry> entries = recording.entries;
    auto button = [](int64_t which, int64_t state) {
        Entry entry;
        entry.tag = Entry::Tag::Button;
        entry.a = which, entry.b = state, entry.c = 600, entry.d = 300;
        return entry;
    };
    Entry motion;
    motion.tag = Entry::Tag::Motion;
    motion.b = 650, motion.c = 320;
    entries.insert(entries.begin() + 1, {button(3, 0), button(3, 1), button(1, 0), motion, button(1, 1)});
    std::vector<uint8_t> bytes = encodeHeader(recording.buildId, recording.version);
    appendRecord(bytes, RecordType::Arguments, encodeArguments(recording.arguments));
    for (const MapLoad& map : recording.maps)
        appendRecord(bytes, RecordType::MapLoad,
                     encodeMapLoad(map.readable ? MapLoadKind::Bytes : MapLoadKind::Unreadable,
                                   map.bytes ? *map.bytes : std::vector<uint8_t>()));
    EntryEncoder encoder(recording.version);
    std::vector<uint8_t> payload;
    for (const Entry& entry : entries) encoder.add(entry, payload);
    appendRecord(bytes, RecordType::Entries, payload);
    writeFile(dir / "older.krec", std::string(bytes.begin(), bytes.end()));

    const ToolRun run = replayTool(dir, "--dir play older.krec");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.lastLine(), "replay matches: " + goldenHashes()[1].second) << run.err;
}

// A level script that spawns boxes by walking a string-keyed table with pairs, draws random
// numbers, sets timers and is edited while the game runs: the replay hands the recorded bytes of
// every read of map.lua back at the same points and ends on the same hash.
TEST_F(SessionRecording, AScriptedSessionWithAHotReloadReplaysToTheSameHash) {
    const Golden session = {"scripted.krec", {"kelvoran"},
                            "300 key 113\n900 key 114\n1500 key 55\n2500 key 27\n", 3000};
    LevelScript level;
    level.first =
        "local spots = {left = 100, middle = 400, right = 700, far = 900}\n"
        "function on_start()\n"
        "  for name, x in pairs(spots) do print(name); game.box(x + game.random() * 10, 0) end\n"
        "end\n"
        "function on_key(k) game.after(0.2, function() game.box(math.random(50, 500), 0) end) end\n";
    level.later = level.first + "function on_step() if game.time() == 0.3 then game.car(200, 0) end end\n";
    level.laterAt = 1200;
    fs::create_directories(dir / "record");
    // Recorded in a child, as the other sessions are: its window must not share this process's
    // connection to the display with windows of later cases.
    const fs::path endFile = dir / "end.txt";
    const pid_t child = fork();
    if (child == 0) {
        writeFile(endFile, recordGolden(session, dir / "scripted.krec", dir / "record", &level));
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string end = readFile(endFile);
    const Recording recording = decodeRecording(
        reinterpret_cast<const uint8_t*>(readFile(dir / "scripted.krec").data()),
        readFile(dir / "scripted.krec").size());
    ASSERT_EQ(recording.problem, Recording::Problem::None) << recording.problemText;
    ASSERT_EQ(recording.scripts.size(), 2u);  // the first read, then the edit
    EXPECT_EQ(std::string(recording.scripts[1].bytes.begin(), recording.scripts[1].bytes.end()),
              level.later);
    EXPECT_EQ(recording.scripts[0].read, 0u);
    EXPECT_GT(recording.scripts[1].read, 1u);

    const ToolRun run = replayTool(dir, "--dir play " + (dir / "scripted.krec").string());
    EXPECT_EQ(run.status, 0) << run.err;
    const size_t space = end.find(' ');
    EXPECT_EQ(run.lastLine(), "replay matches: " + end.substr(0, space) + " steps, state " +
                                  end.substr(space + 1))
        << run.err;
    // The pairs walk printed the same order in the replay at every load: start-up, the restart,
    // the hot reload and the map reload.
    std::istringstream lines(run.out);
    std::string line, names;
    while (std::getline(lines, line))
        if (line == "far" || line == "left" || line == "middle" || line == "right") names += line + " ";
    std::string expected;
    for (int load = 0; load < 4; ++load) expected += "far left middle right ";
    EXPECT_EQ(names, expected) << run.out;
}

// Script reads decode in order, each later than the one before; anything else is a damaged file.
TEST_F(SessionRecording, ScriptReadsDecodeInOrderAndOutOfOrderOnesAreRefused) {
    const auto decode = [](const std::vector<ScriptRead>& reads, const std::vector<uint8_t>& extra) {
        std::vector<uint8_t> file = encodeHeader("test");
        for (const ScriptRead& read : reads) appendRecord(file, RecordType::ScriptRead, encodeScriptRead(read));
        if (!extra.empty()) appendRecord(file, RecordType::ScriptRead, extra);
        return decodeRecording(file.data(), file.size());
    };
    const std::vector<uint8_t> text = {'x', '=', '1'};
    const Recording good = decode({{0, true, text}, {7, false, {}}, {9, true, {}}}, {});
    ASSERT_EQ(good.problem, Recording::Problem::None) << good.problemText;
    ASSERT_EQ(good.scripts.size(), 3u);
    EXPECT_EQ(good.scripts[0].bytes, text);
    EXPECT_FALSE(good.scripts[1].present);
    EXPECT_TRUE(good.scripts[2].present && good.scripts[2].bytes.empty());

    for (const std::vector<uint8_t>& bad : std::vector<std::vector<uint8_t>>{
             {5, 0, 0, 0, 1},     // read 5 again
             {4, 0, 0, 0, 1},     // an earlier read
             {8, 0, 0, 0, 0, 1},  // "none" with bytes
             {8, 0, 0, 0, 2},     // neither none nor bytes
             {8, 0, 0}}) {        // cut short
        const Recording damaged = decode({{5, true, text}}, bad);
        EXPECT_EQ(damaged.problem, Recording::Problem::Corrupt);
        EXPECT_EQ(damaged.scripts.size(), 1u);
    }
}

TEST(RecordingFormat, AMapLoadWrittenInPartsIsTheWholeRecordByteForByte) {
    const std::vector<uint8_t> map = {1, 2, 3, 250, 0, 7};
    for (const MapLoadKind kind : {MapLoadKind::Bytes, MapLoadKind::SameAsBefore, MapLoadKind::Unreadable}) {
        std::vector<uint8_t> whole;
        appendRecord(whole, RecordType::MapLoad, encodeMapLoad(kind, map));
        const MapLoadRecord parts = encodeMapLoadRecord(kind, map);
        std::vector<uint8_t> joined = parts.head;
        if (kind == MapLoadKind::Bytes) joined.insert(joined.end(), map.begin(), map.end());
        joined.insert(joined.end(), parts.tail.begin(), parts.tail.end());
        EXPECT_EQ(joined, whole) << static_cast<int>(kind);
    }
}
