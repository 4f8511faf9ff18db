// recording_fuzz.cpp: the session recording reader on arbitrary bytes, and the replay on every
// recording the input can describe: the input is read once as a whole file, then once more as
// the payloads of well-formed records (their checksums made right), so that the decoding of
// arguments, map loads and entries, and the replay of what they say, are reached as well.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "map/map_quad.h"
#include "session/recording_format.h"
#include "session/recording_limits.h"
#include "session/session_replay.h"
#include "fuzz_support.h"
#include "physics/physics_world.h"

namespace {

// Keeps one input quick; idle runs of any length cost a few passes since they are counted, not
// run, so they are played whatever their count.
constexpr size_t kMaxEntriesPlayed = 4000;
// A clock reading far ahead costs one pass per second it skips (the statistics catch up); up to
// 2,000,000 in all, too slow for every input.
constexpr int32_t kMaxReadingPlayed = 10 * 60 * 1000;
// A pass catches up at most this many steps: one entry never runs more.
constexpr int64_t kMaxStepsPerEntry = 25;

std::string workFolder;  // where each replay runs; made at start, removed at exit

void checkDecoded(const Recording& recording, size_t size) {
    if (recording.goodBytes > size) fuzz::fail("a recording read past its end");
    // The decoded size stays within the file and the limits: a load of the same map shares
    // the earlier bytes, never copies them.
    std::set<const std::vector<uint8_t>*> distinct;
    uint64_t distinctBytes = 0, loadedBytes = 0;
    for (const MapLoad& load : recording.maps) {
        if (load.readable != (load.bytes != nullptr)) fuzz::fail("a map load's bytes disagree with its kind");
        if (!load.bytes) continue;
        loadedBytes += load.bytes->size();
        if (distinct.insert(load.bytes.get()).second) distinctBytes += load.bytes->size();
    }
    if (distinctBytes > size) fuzz::fail("decoded maps larger than the file: a copy, not a share");
    int64_t steps = 0;
    for (const Entry& entry : recording.entries) steps += entry.tag == Entry::Tag::Pass ? entry.a : 0;
    if (recording.problem != Recording::Problem::BeyondLimits &&
        (distinctBytes > kMaxRecordingMapBytes || loadedBytes > kMaxReplayMapLoadBytes ||
         steps > kMaxReplaySteps))
        fuzz::fail("a recording beyond the replay's limits was not refused");
    // Text that reaches the terminal: an argument holding a NUL is damage.
    for (const std::string& argument : recording.arguments)
        if (argument.find('\0') != std::string::npos) fuzz::fail("an argument holding a NUL was accepted");
    if (recording.problem == Recording::Problem::None && !recording.problemText.empty())
        fuzz::fail("a sound recording with a problem text");
    if (recording.problem != Recording::Problem::None && recording.problemText.empty())
        fuzz::fail("a refused recording without a reason");
}

// The input cut into records: a type byte, a 16-bit little-endian length, then that many
// payload bytes (fewer at the end of the input).
std::vector<uint8_t> wellFormedFile(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file = encodeHeader(recordingBuildId());
    size_t next = 0;
    while (next + 3 <= size) {
        const auto type = static_cast<RecordType>(1 + data[next] % 4);
        const size_t wanted = data[next + 1] | static_cast<size_t>(data[next + 2]) << 8;
        const size_t length = std::min(wanted, size - next - 3);
        const std::vector<uint8_t> payload(data + next + 3, data + next + 3 + length);
        appendRecord(file, type, payload);
        next += 3 + length;
    }
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    workFolder = fuzz::makeWorkFolder("kelvoran-recording-fuzz", false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkDecoded(decodeRecording(data, size), size);

    const std::vector<uint8_t> file = wellFormedFile(data, size);
    const Recording recording = decodeRecording(file.data(), file.size());
    checkDecoded(recording, file.size());
    if (recording.problem == Recording::Problem::NotARecording ||
        recording.problem == Recording::Problem::OtherVersion) {
        fuzz::fail("our own header was refused");
    }
    if (recording.entries.size() > kMaxEntriesPlayed) return 0;
    for (const Entry& entry : recording.entries)
        for (int32_t reading : entry.readings)
            if (reading > kMaxReadingPlayed) return 0;

    ReplaySettings settings;
    settings.folder = workFolder;
    std::ostringstream quiet;
    std::streambuf* console = std::cout.rdbuf(quiet.rdbuf());
    std::streambuf* notes = std::cerr.rdbuf(quiet.rdbuf());
    const ReplayResult result = playRecording(recording, settings);
    std::cout.rdbuf(console);
    std::cerr.rdbuf(notes);
    if (result.steps < 0) fuzz::fail("a negative step count");
    // The work stays within what the file could honestly mean.
    if (result.steps > kMaxStepsPerEntry * static_cast<int64_t>(recording.entries.size() + 1) ||
        result.steps > kMaxReplaySteps)
        fuzz::fail("the replay ran more steps than its entries can ask for");
    if (result.outcome == ReplayResult::Outcome::Refused && result.refusal.empty())
        fuzz::fail("a replay refused without a reason");
    // Nothing from the file reaches the terminal raw: the console holds no control character.
    for (const char c : quiet.str())
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7f)
            fuzz::fail("a control character reached the console");
    if (getWorld() != nullptr) fuzz::fail("the replay left a world behind");
    if (!allActors().empty() || getQuadCount() != 0) fuzz::fail("the replay left actors or quads behind");
    return 0;
}
