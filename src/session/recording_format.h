// recording_format.h: the bytes of a session recording (.krec) and back. A header (magic, format
// version, build id, checksum), then records of type, length, payload and CRC-32. Entries
// (callbacks with the clock readings they took, checkpoints, the end) travel in batches inside
// Entries records; the map bytes of every load and the command line have records of their own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/step_command.h"

// 2: the game's input as step commands, applied at numbered steps; passes paced by a shared
// session; checkpoints with the shared state hash. Version 1 files still replay, as the game
// played them then (input acting at once, crates paced by the clock).
constexpr uint16_t kRecordingFormatVersion = 2;
constexpr uint16_t kOldestRecordingFormatVersion = 1;

// The build this program was made from: source revision and compiler, fixed at configure time.
const char* recordingBuildId();

enum class RecordType : uint8_t { Arguments = 1, MapLoad = 2, Entries = 3, ScriptRead = 4, LevelFile = 5 };

// One callback the window system made, or a mark the recorder set between callbacks.
struct Entry {
    enum class Tag : uint8_t {
        Startup = 0,     // the start-up sequence (readings only)
        IdlePasses = 1,  // a = passes that neither published, drew nor stepped; one reading each,
                         // of which the last is kept (any of them would do the same)
        Pass = 2,        // a = steps run, b = bit 0 a frame drawn, bit 1 statistics published
        KeyDown = 3,     // a = key code, b, c = cursor pixels
        KeyUp = 4,       // a = key code, b, c = cursor pixels
        Button = 5,      // a = button, b = state, c, d = cursor pixels
        Motion = 6,      // b, c = cursor pixels, a button held
        PassiveMotion = 7,
        Reshape = 8,     // a, b = window size in pixels
        Checkpoint = 9,  // step = steps run so far, hash = state hash after them
        End = 10,        // the same, once the window system's loop has returned
        Close = 11,      // the window was closed (its sheets go with it)
        SpecialKey = 12, // a = the window system's key code, b, c = cursor pixels
        Modifiers = 13,  // a = Shift, Ctrl, Alt bits, written when they change before an event
        // Version 2: a = the step it was applied at, command = what; written as the step begins,
        // before the pass that runs the step.
        Command = 14,
        // Version 2: a = the player this program played as (the camera follows that player's
        // car), b bit 0: scripts ran without the CPU-time guard; written before the first entry
        // after either changed, so a recording made alone holds none.
        Seat = 15,
    };
    static constexpr uint8_t kTagCount = 16;
    static constexpr int64_t kNoCpuGuard = 1;  // Seat, b
    // Pass, version 2: bit 2 of b: the pass ran the steps a shared session handed it, not the
    // steps the clock owed.
    static constexpr int64_t kPacedPass = 4;

    Tag tag = Tag::Startup;
    int64_t a = 0, b = 0, c = 0, d = 0;
    std::vector<int32_t> readings;  // clock readings (ms) taken during the callback, in order
    uint64_t step = 0;
    uint64_t hash = 0;
    uint64_t sharedHash = 0;  // Checkpoint and End, version 2: sharedStateHash
    StepCommand command;      // Command
};

// Appends entries to a batch payload; clock readings are stored as differences from the last
// reading written, so an encoder lives as long as the file it writes.
class EntryEncoder {
public:
    // Writes entries in the form of a format version (the current one unless told).
    explicit EntryEncoder(uint16_t version = kRecordingFormatVersion) : version_(version) {}
    void add(const Entry& entry, std::vector<uint8_t>& payload);

private:
    uint16_t version_;
    int32_t lastReading_ = 0;
};

std::vector<uint8_t> encodeHeader(const std::string& buildId,
                                  uint16_t version = kRecordingFormatVersion);
// type, length, payload and the CRC-32 of all three, appended to out.
void appendRecord(std::vector<uint8_t>& out, RecordType type, const std::vector<uint8_t>& payload);
std::vector<uint8_t> encodeArguments(const std::vector<std::string>& arguments);
// What one load found: the bytes, none (no readable file), or the same bytes as the last load.
enum class MapLoadKind : uint8_t { Unreadable = 0, Bytes = 1, SameAsBefore = 2 };
std::vector<uint8_t> encodeMapLoad(MapLoadKind kind, const std::vector<uint8_t>& bytes);
// The same record as appendRecord of encodeMapLoad, in three parts to write one after another:
// head, then the map's bytes themselves when kind is Bytes, then tail. A large map is not copied.
struct MapLoadRecord {
    std::vector<uint8_t> head;  // type, length and kind
    std::vector<uint8_t> tail;  // the CRC-32 of the head and the bytes
};
MapLoadRecord encodeMapLoadRecord(MapLoadKind kind, const std::vector<uint8_t>& bytes);

// A read of map.lua whose result differs from the read before it (the first from "none"):
// the reads between two records found the same as the earlier one. read counts every read of
// the session from 0.
struct ScriptRead {
    uint32_t read = 0;
    bool present = false;
    std::vector<uint8_t> bytes;
};
std::vector<uint8_t> encodeScriptRead(const ScriptRead& read);

// A read of one of the level's own files (a sound, an image) by its script, in read order, with
// what it found: the bytes, or why there were none.
struct LevelFileRead {
    std::string name;
    bool present = false;
    std::string problem;         // when not present
    std::vector<uint8_t> bytes;  // when present
};
std::vector<uint8_t> encodeLevelFileRead(const LevelFileRead& read);

struct MapLoad {
    bool readable = false;
    // Shared: a load of an unchanged map holds the earlier load's bytes, never a copy.
    std::shared_ptr<const std::vector<uint8_t>> bytes;
};

// A decoded file. Decoding stops at the first problem; everything before it is kept.
struct Recording {
    // BeyondLimits: intact, but it asks for more than recording_limits.h allows.
    enum class Problem { None, NotARecording, OtherVersion, Corrupt, CutShort, BeyondLimits };
    Problem problem = Problem::None;
    std::string problemText;  // one sentence saying what is wrong and where
    size_t goodBytes = 0;     // bytes up to the end of the last complete, intact record
    uint16_t version = 0;
    std::string buildId;
    std::vector<std::string> arguments;
    std::vector<MapLoad> maps;   // in load order
    std::vector<ScriptRead> scripts;  // in read order, each read later than the one before
    std::vector<LevelFileRead> levelFiles;  // in read order
    std::vector<Entry> entries;  // in the order they happened
    bool ended = false;          // the End entry was read
};
Recording decodeRecording(const uint8_t* bytes, size_t size);
// True when bytes begin with a whole recording header of any format version whose checksum
// holds: the file is one of ours, not a foreign file under a recording's name.
bool hasRecordingHeader(const uint8_t* bytes, size_t size);
constexpr size_t kMaxRecordingHeader = 8 + 0xffff + 4;  // the most hasRecordingHeader reads
