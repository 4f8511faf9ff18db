// session_replay.cpp: the recorded callbacks fed back to the handlers, with the recorded clock
// readings and map bytes, in a stand-in window or a real one.
#include "session/session_replay.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "game/input.h"
#include "game/main_loop.h"
#include "game/map_loading.h"
#include "game/game.h"
#include "game/host.h"
#include "game/state_hash.h"

namespace {
constexpr int kMaxNotes = 5;  // schedule notes on standard error before going quiet

struct Player {
    const Recording* recording = nullptr;
    ReplaySettings settings;
    size_t next = 0;      // entry to play next
    size_t nextMap = 0;   // map load to hand out next
    const std::vector<int32_t>* feed = nullptr;  // readings of the entry being played
    size_t fed = 0;
    int32_t lastReading = 0;
    bool overRead = false;
    int notes = 0;
    bool done = false;
    ReplayResult result;
    Host host;
};
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

// Writes the recorded bytes where the game found them, so saves keep map.txt.bak as the game
// did, and hands them to the load.
bool recordedMap(std::vector<uint8_t>& bytes, std::string* /*problem*/) {
    bytes.clear();
    const std::string path = player.settings.folder + "/map.txt";
    if (player.nextMap >= player.recording->maps.size()) {
        note("the replay loaded the map more often than the game did");
        return false;
    }
    const MapLoad& load = player.recording->maps[player.nextMap++];
    if (!load.readable) {
        std::remove(path.c_str());
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(load.bytes.data()),
              static_cast<std::streamsize>(load.bytes.size()));
    if (!out) std::cerr << "kelvoran-replay: cannot write " << path << std::endl;
    bytes = load.bytes;
    return true;
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

void playPass(const Entry& entry) {
    const FrameScheduler before = frameScheduler();
    runPass();
    const bool published = frameScheduler().nextSecond != before.nextSecond;
    const int64_t frames = published ? frameScheduler().frames : frameScheduler().frames - before.frames;
    const int64_t steps = published ? frameScheduler().steps : frameScheduler().steps - before.steps;
    player.result.steps += steps;
    if (steps != entry.a || (frames > 0) != ((entry.b & 1) != 0) || published != ((entry.b & 2) != 0))
        note("a pass ran " + std::to_string(steps) + " steps and " + std::to_string(frames) +
             " frames where the game ran " + std::to_string(entry.a) + " and " +
             std::to_string(entry.b & 1));
}

void playEntry(const Entry& entry) {
    const auto key = static_cast<unsigned char>(entry.a);
    const int a = static_cast<int>(entry.a), b = static_cast<int>(entry.b);
    const int c = static_cast<int>(entry.c), d = static_cast<int>(entry.d);
    feed(entry.readings);
    switch (entry.tag) {
        case Entry::Tag::Startup: note("a second start-up in the recording is ignored"); return;
        case Entry::Tag::IdlePasses:
            for (int64_t i = 0; i < entry.a; ++i) {
                feed(entry.readings);
                playPass(Entry{});
            }
            return;
        case Entry::Tag::Pass: playPass(entry); break;
        case Entry::Tag::KeyDown: onKeyDown(key, b, c); break;
        case Entry::Tag::KeyUp: onKeyUp(key, b, c); break;
        case Entry::Tag::Button: onMouseButton(a, b, c, d); break;
        case Entry::Tag::Motion:
        case Entry::Tag::PassiveMotion: onMouseMove(b, c); break;
        case Entry::Tag::Reshape: onReshape(a, b); break;
        case Entry::Tag::Close: host().window.releaseGl(); break;
        case Entry::Tag::Checkpoint: checkHash(entry); return;
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
    ++player.next;
    playEntry(entry);
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

void beginReplay(const Recording& recording, const ReplaySettings& settings, const Host& base,
                 const std::string& startFolder, OpenWindowFunction openWindow) {
    player = Player();
    player.recording = &recording;
    player.settings = settings;
    // The recording holds what followed every window action, so they do nothing here.
    player.host = base;
    player.host.clock = recordedClock;
    player.host.readMap = recordedMap;
    player.host.waitUntil = [](int32_t) {};  // the entries' times pace a replay, or nothing does
    player.host.window.leaveMainLoop = [] {};
    player.host.window.enterFullScreen = [] {};
    player.host.window.leaveFullScreen = [](int, int) {};
    installHost(player.host);

    std::vector<std::string> arguments = recording.arguments;
    if (arguments.empty()) arguments.push_back("kelvoran");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    int argc = static_cast<int>(arguments.size());

    const auto& entries = recording.entries;
    if (!entries.empty() && entries.front().tag == Entry::Tag::Startup) {
        feed(entries.front().readings);
        player.next = 1;
    } else {
        feed(kNoReadings);
    }
    if (chdir(startFolder.c_str()) != 0)
        std::cerr << "kelvoran-replay: cannot enter a folder for the replay" << std::endl;
    startGame(argc, argv.data(), true, openWindow);
    checkFed("start-up");
}

ReplayResult endReplay() {
    if (player.result.outcome != ReplayResult::Outcome::Diverged) player.result.hash = stateHash();
    std::ostringstream summary;
    describeState(summary);
    player.result.summary = summary.str();
    shutdownGame(false);
    return player.result;
}

ReplayResult playRecording(const Recording& recording, const ReplaySettings& settings) {
    const ScopedHost restore(headlessHost());
    beginReplay(recording, settings, headlessHost(), settings.folder, noWindow);
    while (playNextEntry()) {
    }
    return endReplay();
}
