// session_replay.cpp: the recorded callbacks fed back to the handlers, with the recorded clock
// readings and map bytes, in a stand-in window or a real one.
#include "session/session_replay.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

#include "core/keyboard.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "game/map_loading.h"
#include "game/game.h"
#include "game/host.h"
#include "game/state_hash.h"
#include "game/step_commands.h"
#include "script/lua_sandbox.h"
#include "script/scripting.h"
#include "session/recording_limits.h"
#include "core/terminal_text.h"

namespace {
constexpr int kMaxNotes = 5;  // schedule notes on standard error before going quiet

struct Player {
    const Recording* recording = nullptr;
    ReplaySettings settings;
    size_t next = 0;      // entry to play next
    size_t nextMap = 0;   // map load to hand out next
    uint32_t scriptReads = 0;   // reads of map.lua so far
    size_t nextScript = 0;      // recorded script read to hand out next
    size_t nextLevelFile = 0;   // recorded level file read to hand out next
    bool scriptPresent = false;  // what the latest read found
    std::vector<uint8_t> script;
    const std::vector<int32_t>* feed = nullptr;  // readings of the entry being played
    size_t fed = 0;
    int32_t lastReading = 0;
    bool overRead = false;
    int notes = 0;
    bool done = false;
    bool started = false;  // the start-up ran: endReplay shuts the game down
    // A recording without modifier entries comes from a game where buttons other than the left
    // one, and the keys below, did nothing; they are played as they acted then.
    bool beforeEditorTools = false;
    int64_t passSteps = 0;  // the steps the pass being played ran in a shared session
    ReplayResult result;
    Host host;
};
// Ctrl+C, Ctrl+D, Ctrl+V and the letters that came with the editor tools, the overlays and sound.
constexpr unsigned char kKeysWithoutActionBefore[] = {3, 4, 22, 'g', 'b', 'i', 'm'};

bool actedBeforeEditorTools(const Entry& entry) {
    if (entry.tag == Entry::Tag::Button) return entry.a == 0;
    if (entry.tag != Entry::Tag::KeyDown) return true;
    for (unsigned char key : kKeysWithoutActionBefore)
        if (entry.a == key) return false;
    return true;
}
Player player;
const std::vector<int32_t> kNoReadings;

int32_t recordedClock() {
    if (player.feed && player.fed < player.feed->size()) {
        player.lastReading = (*player.feed)[player.fed++];
    } else {
        player.overRead = true;
    }
    return player.lastReading;
}

void note(const std::string& text) {
    if (player.notes++ < kMaxNotes)
        std::cerr << "kelvoran-replay: at step " << player.result.steps << ": " << text << std::endl;
}

// Creates path (it must not exist, nor be followed if a link) holding bytes.
bool writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const int error = errno;
    const bool closed = close(fd) == 0;
    errno = done == bytes.size() ? errno : error;
    return done == bytes.size() && closed;
}

void refuse(const std::string& reason) {
    player.result.outcome = ReplayResult::Outcome::Refused;
    player.result.refusal = reason;
    player.result.hash = stateHash();
    player.done = true;
}

// Writes the recorded bytes where the game found them, so saves keep map.txt.bak as the game
// did, and hands them to the load.
bool recordedMap(std::vector<uint8_t>& bytes, std::string& /*why*/) {
    bytes.clear();
    const std::string path = player.settings.folder + "/map.txt";
    if (player.nextMap >= player.recording->maps.size()) {
        note("the replay loaded the map more often than the game did");
        return false;
    }
    const MapLoad& load = player.recording->maps[player.nextMap++];
    // A new file in place of the old name: a symbolic link there is replaced, never followed.
    unlink(path.c_str());
    if (!load.readable) return false;
    if (!writeNewFile(path, *load.bytes))
        std::cerr << "kelvoran-replay: cannot write " << path << ": " << std::strerror(errno) << std::endl;
    bytes = *load.bytes;
    return true;
}

// The recorded result of each read of map.lua: a read without a record of its own found what
// the read before it did.
bool recordedScript(std::vector<uint8_t>& bytes) {
    const auto& scripts = player.recording->scripts;
    if (player.nextScript < scripts.size() &&
        scripts[player.nextScript].read == player.scriptReads) {
        const ScriptRead& read = scripts[player.nextScript++];
        player.scriptPresent = read.present;
        player.script = read.bytes;
    }
    ++player.scriptReads;
    bytes = player.script;
    return player.scriptPresent;
}

// The recorded result of each read of a level file, in order; a read the game did not make, or
// of another name, is a divergence.
bool recordedLevelFile(const std::string& name, std::vector<uint8_t>& bytes, std::string& problem) {
    const auto& files = player.recording->levelFiles;
    bytes.clear();
    if (player.nextLevelFile >= files.size() || files[player.nextLevelFile].name != name) {
        note("the replay read a level file the game did not: " + name);
        problem = "not read when the session was recorded";
        return false;
    }
    const LevelFileRead& read = files[player.nextLevelFile++];
    bytes = read.bytes;
    problem = read.problem;
    return read.present;
}

void noWindow(int&, char**) {}

void feed(const std::vector<int32_t>& readings) {
    player.feed = &readings;
    player.fed = 0;
    player.overRead = false;
}

void checkFed(const char* what) {
    if (player.overRead || (player.feed && player.fed != player.feed->size()))
        note(std::string("the clock was read a different number of times in a ") + what);
}

void checkHash(const Entry& entry) {
    const uint64_t got = stateHash();
    player.result.hash = got;
    if (got == entry.hash) return;
    player.result.outcome = ReplayResult::Outcome::Diverged;
    player.result.divergedAt = static_cast<int64_t>(entry.step);
    player.result.expected = entry.hash;
    player.done = true;
}

// A shared session's peer ran the steps its bundles allowed: the pass runs as many again.
int32_t recordedPassSteps() { return static_cast<int32_t>(player.passSteps); }

PassReport playPass(const Entry& entry) {
    player.passSteps = entry.a;
    const PassReport pass = runPass();
    player.result.steps += pass.steps;
    if (pass.steps != entry.a || pass.frameDrawn != ((entry.b & 1) != 0) || pass.published != ((entry.b & 2) != 0))
        note("a pass ran " + std::to_string(pass.steps) + " steps and " + std::to_string(pass.frameDrawn ? 1 : 0) +
             " frames where the game ran " + std::to_string(entry.a) + " and " +
             std::to_string(entry.b & 1));
    return pass;
}

// Passes on one unchanged clock reading: once one of them neither publishes, draws nor steps,
// every later one does the same (nothing it looks at has changed), so the rest are only counted.
// That keeps a run of a billion passes from costing a billion passes.
void playIdlePasses(const Entry& entry) {
    for (int64_t i = 0; i < entry.a; ++i) {
        feed(entry.readings);
        const PassReport pass = playPass(Entry{});
        if (pass.published || pass.frameDrawn || pass.steps != 0) continue;
        FrameScheduler after = frameScheduler();
        const int64_t rest = entry.a - i - 1;
        if (after.passes + rest > kMaxPassesPerSecond) {
            refuse(beyondLimit("main-loop passes in one second", kMaxPassesPerSecond));
            return;
        }
        after.passes += static_cast<int32_t>(rest);
        setFrameScheduler(after);
        return;
    }
}

// The player the recording's program played as, and whether its scripts had the CPU-time guard.
void takeSeat(const Entry& entry) {
    setLocalPlayer(static_cast<uint8_t>(entry.a));
    setScriptCpuGuard((entry.b & Entry::kNoCpuGuard) == 0);
}

void playEntry(const Entry& entry) {
    const auto key = static_cast<unsigned char>(entry.a);
    const int a = static_cast<int>(entry.a), b = static_cast<int>(entry.b);
    const int c = static_cast<int>(entry.c), d = static_cast<int>(entry.d);
    feed(entry.readings);
    if (player.beforeEditorTools && !actedBeforeEditorTools(entry)) {
        if (entry.tag == Entry::Tag::KeyDown) pressKey(key);  // held, as then, with no action
        checkFed("callback");
        return;
    }
    switch (entry.tag) {
        case Entry::Tag::Startup: note("a second start-up in the recording is ignored"); return;
        case Entry::Tag::IdlePasses: playIdlePasses(entry); return;
        case Entry::Tag::Pass: playPass(entry); break;
        case Entry::Tag::KeyDown: onKeyDown(key, b, c); break;
        case Entry::Tag::KeyUp: onKeyUp(key, b, c); break;
        case Entry::Tag::Button: onMouseButton(a, b, c, d); break;
        case Entry::Tag::SpecialKey: onSpecialKey(a, b, c); break;
        case Entry::Tag::Modifiers: onModifiers(a); break;
        case Entry::Tag::Motion:
        case Entry::Tag::PassiveMotion: onMouseMove(b, c); break;
        case Entry::Tag::Reshape: onReshape(a, b); break;
        case Entry::Tag::Close: host().window.releaseGl(); break;
        case Entry::Tag::Checkpoint: checkHash(entry); return;
        case Entry::Tag::Command: scheduleCommand(entry.a, entry.command); break;
        case Entry::Tag::Seat: takeSeat(entry); break;
        case Entry::Tag::End:
            checkHash(entry);
            if (!player.done) player.result.outcome = ReplayResult::Outcome::Matches;
            player.done = true;
            return;
    }
    checkFed("callback");
}

}  // namespace

bool playNextEntry() {
    const auto& entries = player.recording->entries;
    if (player.done) return false;
    if (player.next >= entries.size()) {
        player.result.outcome = ReplayResult::Outcome::CutShort;
        player.result.hash = stateHash();
        player.done = true;
        return false;
    }
    const Entry& entry = entries[player.next];
    if (player.settings.untilStep >= 0 && player.result.steps >= player.settings.untilStep &&
        entry.tag != Entry::Tag::Checkpoint) {
        player.result.outcome = ReplayResult::Outcome::Stopped;
        player.result.hash = stateHash();
        player.done = true;
        return false;
    }
    const std::string reason = player.settings.stopReason ? player.settings.stopReason() : "";
    if (!reason.empty()) {
        refuse(reason);
        return false;
    }
    ++player.next;
    playEntry(entry);
    if (!player.done && player.result.steps > kMaxReplaySteps)
        refuse(beyondLimit("logic steps", kMaxReplaySteps));
    return !player.done;
}

int32_t nextEntryTime() {
    const auto& entries = player.recording->entries;
    if (player.done || player.next >= entries.size()) return -1;
    const Entry& entry = entries[player.next];
    return entry.readings.empty() ? -1 : entry.readings.front();
}

int32_t replayClock() { return player.lastReading; }

void stopReplay() {
    if (player.done) return;
    player.result.outcome = ReplayResult::Outcome::Stopped;
    player.result.hash = stateHash();
    player.done = true;
}

bool beginReplay(const Recording& recording, const ReplaySettings& settings, const Host& base,
                 const std::string& startFolder, OpenWindowFunction openWindow) {
    player = Player();
    player.recording = &recording;
    player.settings = settings;
    // The recording holds what followed every window action, so they do nothing here.
    player.host = base;
    player.host.clock = recordedClock;
    player.host.readMap = recordedMap;
    player.host.readScript = recordedScript;
    player.host.readLevelFile = recordedLevelFile;
    player.host.waitUntil = [](int32_t) {};  // the entries' times pace a replay, or nothing does
    player.host.window.leaveMainLoop = [] {};
    player.host.window.enterFullScreen = [] {};
    player.host.window.leaveFullScreen = [](int, int) {};
    installHost(player.host);

    // Echoed as the game echoed them, but a control character in a file never reaches the
    // terminal; such an argument could not have been the word "editor" either way.
    std::vector<std::string> arguments;
    for (const std::string& argument : recording.arguments)
        arguments.push_back(escapeForTerminal(argument));
    if (arguments.empty()) arguments.push_back("kelvoran");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    int argc = static_cast<int>(arguments.size());

    const auto& entries = recording.entries;
    player.beforeEditorTools = std::none_of(entries.begin(), entries.end(), [](const Entry& entry) {
        return entry.tag == Entry::Tag::Modifiers;
    });
    if (!entries.empty() && entries.front().tag == Entry::Tag::Startup) {
        feed(entries.front().readings);
        player.next = 1;
    } else {
        feed(kNoReadings);
    }
    // Played nowhere but in its folder: a folder that cannot be entered stops it unplayed.
    if (chdir(startFolder.c_str()) != 0) {
        player.result.outcome = ReplayResult::Outcome::Refused;
        player.result.refusal = "cannot enter " + startFolder + ": " + std::strerror(errno);
        player.done = true;
        return false;
    }
    if (recording.version < 2) {
        // Made before step commands: the handlers acted at once and crates followed the clock.
        setInputTiming(InputTiming::AtOnce);
        setCratesPacedByClock(true);
    } else {
        setInputTiming(InputTiming::Replayed);  // the recorded commands are the game's input
        if (std::any_of(entries.begin(), entries.end(), [](const Entry& entry) {
                return entry.tag == Entry::Tag::Pass && (entry.b & Entry::kPacedPass) != 0;
            }))
            setStepPacer(recordedPassSteps);
    }
    // A seat taken before the start-up is written after it: the start-up's script ran in it.
    if (entries.size() > 1 && entries.front().tag == Entry::Tag::Startup && entries[1].tag == Entry::Tag::Seat)
        takeSeat(entries[1]);
    installScripting();
    startGame(argc, argv.data(), true, openWindow);
    player.started = true;
    checkFed("start-up");
    return true;
}

void refuseReplay(const std::string& reason) {
    if (!player.done) refuse(reason);
}

ReplayResult endReplay() {
    if (!player.started) return player.result;
    player.result.sharedHash = sharedStateHash();
    if (player.result.outcome != ReplayResult::Outcome::Diverged &&
        player.result.outcome != ReplayResult::Outcome::Refused)
        player.result.hash = stateHash();
    std::ostringstream summary;
    describeState(summary);
    player.result.summary = summary.str();
    shutdownGame(false);
    setScriptCpuGuard(true);  // the next game in this process starts as a game alone does
    return player.result;
}

ReplayResult playRecording(const Recording& recording, const ReplaySettings& settings) {
    const ScopedHost restore(headlessHost());
    if (beginReplay(recording, settings, headlessHost(), settings.folder, noWindow)) {
        while (playNextEntry()) {
        }
    }
    return endReplay();
}
