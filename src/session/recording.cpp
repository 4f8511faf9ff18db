// recording.cpp: the session recorder: callbacks and clock readings batched into checksummed
// records, written as the game runs, and the keeping of the newest sessions.
#include "session/recording.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>

#include "game/input.h"
#include "game/main_loop.h"
#include "game/host.h"
#include "game/map_loading.h"
#include "game/step_commands.h"
#include "script/lua_sandbox.h"
#include "session/recording_format.h"
#include "game/state_hash.h"

namespace {
constexpr int32_t kFlushEveryMs = 1000;          // a crash loses at most this much
constexpr size_t kFlushAtBytes = 64 * 1024;      // or this much pending, whichever comes first
constexpr int kMaxSameSecondSessions = 99;       // _02 .. _99
constexpr size_t kDigestSize = 32;               // bytes of a SHA-256

struct Recorder {
    int fd = -1;
    std::string path;
    EntryEncoder encoder;
    std::vector<uint8_t> pending;    // entries not yet written, one Entries record's payload
    std::vector<int32_t> readings;   // taken during the current callback
    int64_t idleCount = 0;           // idle passes not yet written
    int32_t idleReading = 0;
    int64_t steps = 0;
    int32_t lastFlush = 0;
    int modifiers = 0;               // as last written
    bool haveMap = false;
    // The SHA-256 of the last readable load's bytes: a large map is not kept twice to tell a
    // reload of the same file.
    std::array<unsigned char, kDigestSize> lastMap{};
    uint32_t scriptReads = 0;        // reads of map.lua so far
    bool scriptPresent = false;      // what the last one found
    std::vector<uint8_t> lastScript;
    uint8_t seat = 0;                // the player this program plays as, as last written
    bool cpuGuard = true;            // and whether scripts had the CPU-time guard
};
Recorder rec;

void stopWithError(const std::string& what) {
    std::cerr << "Recording stopped: " << what << std::endl;
    if (rec.fd >= 0) close(rec.fd);
    rec.fd = -1;
}

void writeBytes(const uint8_t* bytes, size_t size) {
    size_t done = 0;
    while (rec.fd >= 0 && done < size) {
        const ssize_t n = write(rec.fd, bytes + done, size - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            stopWithError("cannot write " + rec.path + ": " + std::strerror(errno));
        }
    }
}

void writeBytes(const std::vector<uint8_t>& bytes) { writeBytes(bytes.data(), bytes.size()); }

std::array<unsigned char, kDigestSize> digestOf(const std::vector<uint8_t>& bytes) {
    std::array<unsigned char, kDigestSize> digest{};
    unsigned int length = 0;
    // Fails only when the library cannot allocate: nothing sensible is left to do then.
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1) std::abort();
    return digest;
}

// A shared session seats this program and takes the scripts' CPU-time guard away between two
// entries; the replay does the same at the same place, so it follows the same car and stops a
// script where the game did.
void noteSeat() {
    const uint8_t seat = localPlayer();
    const bool guard = scriptCpuGuard();
    if (seat == rec.seat && guard == rec.cpuGuard) return;
    rec.seat = seat;
    rec.cpuGuard = guard;
    Entry entry;
    entry.tag = Entry::Tag::Seat;
    entry.a = seat;
    entry.b = guard ? 0 : Entry::kNoCpuGuard;
    rec.encoder.add(entry, rec.pending);
}

void add(const Entry& entry) {
    // The start-up comes first in every recording; a seat taken before it follows it.
    if (entry.tag != Entry::Tag::Startup) noteSeat();
    rec.encoder.add(entry, rec.pending);
}

void closeIdleRun() {
    if (rec.idleCount == 0) return;
    Entry idle;
    idle.tag = Entry::Tag::IdlePasses;
    idle.a = rec.idleCount;
    idle.readings = {rec.idleReading};
    add(idle);
    rec.idleCount = 0;
}

void flush() {
    closeIdleRun();
    if (rec.pending.empty()) return;
    std::vector<uint8_t> record;
    appendRecord(record, RecordType::Entries, rec.pending);
    rec.pending.clear();
    writeBytes(record);
}

void addEvent(Entry::Tag tag, int64_t a, int64_t b, int64_t c, int64_t d) {
    if (rec.fd < 0) return;
    Entry entry;
    entry.tag = tag;
    entry.a = a;
    entry.b = b;
    entry.c = c;
    entry.d = d;
    entry.readings.swap(rec.readings);
    closeIdleRun();
    add(entry);
}

bool isSessionName(const std::string& name) {
    // session-YYYYMMDD-HHMMSS.krec or session-YYYYMMDD-HHMMSS_NN.krec
    const std::string digits = "session-########-######";
    if (name.size() < digits.size() + 5) return false;
    for (size_t i = 0; i < digits.size(); ++i) {
        const bool ok = digits[i] == '#' ? (name[i] >= '0' && name[i] <= '9') : name[i] == digits[i];
        if (!ok) return false;
    }
    const std::string rest = name.substr(digits.size());
    return rest == ".krec" || (rest.size() == 8 && rest[0] == '_' && std::isdigit(rest[1]) &&
                               std::isdigit(rest[2]) && rest.substr(3) == ".krec");
}

// A regular file (not followed if a link) that starts with a recording's header.
bool isOwnRecording(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    std::vector<uint8_t> head(kMaxRecordingHeader);
    ssize_t got = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) got = read(fd, head.data(), head.size());
    close(fd);
    return got > 0 && hasRecordingHeader(head.data(), static_cast<size_t>(got));
}

// "session-YYYYMMDD-HHMMSS" a day from now: a name after it was not made by this clock (or
// the clock was wrong), and is neither counted among the newest nor deleted.
std::string stampInADay() {
    const std::time_t later = std::time(nullptr) + 24 * 60 * 60;
    std::tm local{};
    localtime_r(&later, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "session-%Y%m%d-%H%M%S", &local);
    return stamp;
}

// Names sort by time, and a same-second suffix sorts after its plain name ('_' > '.'). Only
// files that are recordings by their header count and go.
void keepNewestSessions(const std::string& folder, const std::string& keep) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    const std::string latest = stampInADay();
    std::vector<std::string> sessions;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (isSessionName(name) && name != keep && name.compare(0, latest.size(), latest) <= 0 &&
            isOwnRecording(folder + "/" + name))
            sessions.push_back(name);
    }
    closedir(dir);
    std::sort(sessions.begin(), sessions.end());
    const size_t allowed = kKeptRecordings - 1;  // the new one is kept as well
    for (size_t i = 0; i + allowed < sessions.size(); ++i) {
        const std::string old = folder + "/" + sessions[i];
        std::remove(old.c_str());
    }
}

// Every command as its step applies it, so a replay applies the same ones at the same steps,
// wherever they came from (this window, or the other players of a shared session).
void recordCommand(int64_t step, const StepCommand& command) {
    if (rec.fd < 0) return;
    closeIdleRun();
    Entry entry;
    entry.tag = Entry::Tag::Command;
    entry.a = step;
    entry.command = command;
    add(entry);
}

bool startWriting(int fd, const std::string& path, int argc, char** argv) {
    rec = Recorder();
    // What the recording holds of the input is its commands: the window's events become them.
    setInputTiming(InputTiming::NextStep);
    setCommandObserver(recordCommand);
    rec.fd = fd;
    rec.path = path;
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : "");
    std::vector<uint8_t> bytes = encodeHeader(recordingBuildId());
    appendRecord(bytes, RecordType::Arguments, encodeArguments(arguments));
    writeBytes(bytes);
    return rec.fd >= 0;
}
}  // namespace

bool beginSessionRecording(const std::string& folder, int argc, char** argv) {
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        std::cerr << "Recording off: cannot create " << folder << ": " << std::strerror(errno)
                  << std::endl;
        return false;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "session-%Y%m%d-%H%M%S", &local);
    for (int n = 1; n <= kMaxSameSecondSessions; ++n) {
        char suffix[8] = "";
        if (n > 1) std::snprintf(suffix, sizeof suffix, "_%02d", n);
        const std::string name = std::string(stamp) + suffix + ".krec";
        const std::string path = folder + "/" + name;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            keepNewestSessions(folder, name);
            return startWriting(fd, path, argc, argv);
        }
        if (errno != EEXIST) {
            std::cerr << "Recording off: cannot create " << path << ": " << std::strerror(errno)
                      << std::endl;
            return false;
        }
    }
    std::cerr << "Recording off: too many sessions started in one second" << std::endl;
    return false;
}

bool beginRecording(const std::string& path, int argc, char** argv) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::cerr << "Recording off: cannot create " << path << ": " << std::strerror(errno) << std::endl;
        return false;
    }
    return startWriting(fd, path, argc, argv);
}

bool isRecording() { return rec.fd >= 0; }
std::string recordingPath() { return rec.fd >= 0 ? rec.path : std::string(); }
int64_t recordedSteps() { return rec.steps; }

int32_t recordReading(int32_t ms) {
    if (rec.fd >= 0) rec.readings.push_back(ms);
    return ms;
}

bool readAndRecordMap(std::vector<uint8_t>& bytes, std::string& why) {
    const bool readable = readMapFromDisk(bytes, why);
    if (rec.fd < 0) return readable;
    flush();
    MapLoadKind kind = MapLoadKind::Unreadable;
    if (readable) {
        const auto digest = digestOf(bytes);
        kind = rec.haveMap && digest == rec.lastMap ? MapLoadKind::SameAsBefore : MapLoadKind::Bytes;
        rec.lastMap = digest;
        rec.haveMap = true;
    }
    const MapLoadRecord record = encodeMapLoadRecord(kind, bytes);
    writeBytes(record.head);
    if (kind == MapLoadKind::Bytes) writeBytes(bytes);
    writeBytes(record.tail);
    return readable;
}

bool readAndRecordScript(std::vector<uint8_t>& bytes) {
    const bool present = readScriptFromDisk(bytes);
    if (rec.fd < 0) return present;
    const uint32_t read = rec.scriptReads++;
    if (present == rec.scriptPresent && bytes == rec.lastScript) return present;
    rec.scriptPresent = present;
    rec.lastScript = bytes;
    flush();
    std::vector<uint8_t> record;
    appendRecord(record, RecordType::ScriptRead, encodeScriptRead({read, present, bytes}));
    writeBytes(record);
    return present;
}

bool readAndRecordLevelFile(const std::string& name, std::vector<uint8_t>& bytes, std::string& problem) {
    const bool present = readLevelFileFromDisk(name, bytes, problem);
    if (rec.fd < 0) return present;
    flush();
    std::vector<uint8_t> record;
    appendRecord(record, RecordType::LevelFile, encodeLevelFileRead({name, present, problem, bytes}));
    writeBytes(record);
    return present;
}

void recordStartupDone() {
    addEvent(Entry::Tag::Startup, 0, 0, 0, 0);
    // Written at once, so a replay can tell this recording from those made before the wheel,
    // the middle button and the clipboard keys did anything (see session_replay.cpp).
    addEvent(Entry::Tag::Modifiers, rec.modifiers, 0, 0, 0);
    if (!rec.readings.empty()) rec.lastFlush = rec.readings.back();
    flush();
}

PassReport recordedPass() {
    if (rec.fd < 0) return runPass();
    rec.readings.clear();
    const PassReport pass = runPass();
    const int32_t reading = rec.readings.empty() ? rec.lastFlush : rec.readings.back();
    if (!pass.published && !pass.frameDrawn && pass.steps == 0 && rec.readings.size() == 1) {
        ++rec.idleCount;  // replayed with its last reading, which leaves it idle too
        rec.idleReading = reading;
        rec.readings.clear();
    } else {
        addEvent(Entry::Tag::Pass, pass.steps,
                 (pass.frameDrawn ? 1 : 0) | (pass.published ? 2 : 0) | (pass.paced ? Entry::kPacedPass : 0), 0, 0);
        const int64_t stepsBefore = rec.steps;
        rec.steps += pass.steps;
        if (rec.steps / kCheckpointSteps != stepsBefore / kCheckpointSteps) {
            Entry checkpoint;
            checkpoint.tag = Entry::Tag::Checkpoint;
            checkpoint.step = static_cast<uint64_t>(rec.steps);
            checkpoint.hash = stateHash();
            checkpoint.sharedHash = sharedStateHash();
            add(checkpoint);
        }
    }
    if (reading - rec.lastFlush >= kFlushEveryMs || rec.pending.size() >= kFlushAtBytes) {
        flush();
        rec.lastFlush = reading;
    }
    return pass;
}

void recordedReshape(int width, int height) {
    rec.readings.clear();
    onReshape(width, height);
    addEvent(Entry::Tag::Reshape, width, height, 0, 0);
}

void recordedKeyDown(unsigned char key, int x, int y) {
    rec.readings.clear();
    onKeyDown(key, x, y);
    addEvent(Entry::Tag::KeyDown, key, x, y, 0);
}

void recordedKeyUp(unsigned char key, int x, int y) {
    rec.readings.clear();
    onKeyUp(key, x, y);
    addEvent(Entry::Tag::KeyUp, key, x, y, 0);
}

void recordedMouseButton(int button, int state, int x, int y) {
    rec.readings.clear();
    onMouseButton(button, state, x, y);
    addEvent(Entry::Tag::Button, button, state, x, y);
}

void recordedSpecialKey(int key, int x, int y) {
    rec.readings.clear();
    onSpecialKey(key, x, y);
    addEvent(Entry::Tag::SpecialKey, key, x, y, 0);
}

void recordedModifiers(int modifiers) {
    rec.readings.clear();
    onModifiers(modifiers);
    if (modifiers == rec.modifiers) return;
    rec.modifiers = modifiers;
    addEvent(Entry::Tag::Modifiers, modifiers, 0, 0, 0);
}

void recordedMotion(int x, int y) {
    rec.readings.clear();
    onMouseMove(x, y);
    addEvent(Entry::Tag::Motion, 0, x, y, 0);
}

void recordedPassiveMotion(int x, int y) {
    rec.readings.clear();
    onMouseMove(x, y);
    addEvent(Entry::Tag::PassiveMotion, 0, x, y, 0);
}

void recordClose() {
    rec.readings.clear();
    addEvent(Entry::Tag::Close, 0, 0, 0, 0);
}

void resetRecorder() {
    if (rec.fd >= 0) close(rec.fd);
    setCommandObserver(nullptr);
    rec = Recorder();
}

void endRecording() {
    if (rec.fd < 0) return;
    rec.readings.clear();
    closeIdleRun();
    Entry end;
    end.tag = Entry::Tag::End;
    end.step = static_cast<uint64_t>(rec.steps);
    end.hash = stateHash();
    end.sharedHash = sharedStateHash();
    add(end);
    flush();
    if (rec.fd >= 0 && close(rec.fd) != 0)
        std::cerr << "Recording stopped: cannot close " << rec.path << ": " << std::strerror(errno)
                  << std::endl;
    rec.fd = -1;
}
