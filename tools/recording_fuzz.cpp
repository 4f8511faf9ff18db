// recording_fuzz.cpp: the session recording reader on arbitrary bytes, and the replay on every
// recording the input can describe: the input is read once as a whole file, then once more as
// the payloads of well-formed records (their checksums made right), so that the decoding of
// arguments, map loads and entries, and the replay of what they say, are reached as well.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "map/map_quad.h"
#include "session/recording_format.h"
#include "session/session_replay.h"
#include "fuzz_support.h"
#include "physics/physics_world.h"

namespace {

// Replaying costs what the recording claims: a run of idle passes is a few bytes for any count
// up to a billion. These keep one input quick.
constexpr size_t kMaxEntriesPlayed = 4000;
constexpr int64_t kMaxPassesPlayed = 20000;

std::string workFolder;  // where each replay runs; made at start, removed at exit

void checkDecoded(const Recording& recording, size_t size) {
    if (recording.goodBytes > size) fuzz::fail("a recording read past its end");
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
        const auto type = static_cast<RecordType>(1 + data[next] % 3);
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
    int64_t passes = 0;
    for (const Entry& entry : recording.entries) {
        passes += entry.tag == Entry::Tag::IdlePasses ? entry.a : 1;
    }
    if (passes > kMaxPassesPlayed) return 0;

    ReplaySettings settings;
    settings.folder = workFolder;
    std::ostringstream quiet;
    std::streambuf* console = std::cout.rdbuf(quiet.rdbuf());
    std::streambuf* notes = std::cerr.rdbuf(quiet.rdbuf());
    const ReplayResult result = playRecording(recording, settings);
    std::cout.rdbuf(console);
    std::cerr.rdbuf(notes);
    if (result.steps < 0) fuzz::fail("a negative step count");
    if (getWorld() != nullptr) fuzz::fail("the replay left a world behind");
    if (!allActors().empty() || getQuadCount() != 0) fuzz::fail("the replay left actors or quads behind");
    return 0;
}
