// recording_format.cpp: encoding and checked decoding of session recordings.
#include "session/recording_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "game/host.h"
#include "session/build_id.h"
#include "session/recording_limits.h"

namespace {
constexpr char kMagic[4] = {'K', 'R', 'E', 'C'};
constexpr size_t kRecordHead = 5;  // type byte and 32-bit length
constexpr size_t kCrcSize = 4;
constexpr uint8_t kInlineReadings = 15;  // a tag byte holds up to 14 readings; 15 means "more"
// Bounds no real session comes near; a larger value can only come from a damaged file.
constexpr uint64_t kMaxIdleRun = 1000000000;
constexpr uint64_t kMaxStepsPerPass = 1000000;
constexpr uint64_t kMaxArguments = 100000;

uint32_t crcOf(const uint8_t* bytes, size_t size) {
    return static_cast<uint32_t>(crc32(0L, bytes, static_cast<uInt>(size)));
}

void putU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putU64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putVarint(std::vector<uint8_t>& out, uint64_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<uint8_t>(v));
}
void putSigned(std::vector<uint8_t>& out, int64_t v) {
    putVarint(out, (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63));
}
uint32_t getU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reads a payload front to back; any read past its end or any malformed number sets failed.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool failed() const { return failed_; }
    bool atEnd() const { return p_ == end_; }
    size_t left() const { return static_cast<size_t>(end_ - p_); }
    uint8_t byte() {
        if (p_ == end_) return fail();
        return *p_++;
    }
    uint64_t varint() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uint8_t b = byte();
            if (failed_) return 0;
            v |= static_cast<uint64_t>(b & 0x7f) << shift;
            if (!(b & 0x80)) return v;
        }
        return fail();
    }
    int64_t signedVarint() {
        const uint64_t z = varint();
        return static_cast<int64_t>(z >> 1) ^ -static_cast<int64_t>(z & 1);
    }
    uint64_t u64() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(byte()) << (8 * i);
        return v;
    }
    const uint8_t* take(size_t n) {
        if (n > left()) {
            fail();
            return nullptr;
        }
        const uint8_t* at = p_;
        p_ += n;
        return at;
    }
    uint8_t fail() {
        failed_ = true;
        p_ = end_;
        return 0;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    bool failed_ = false;
};

bool decodeEntry(Reader& in, uint16_t version, int32_t& lastReading, Entry& entry) {
    const uint8_t head = in.byte();
    if (in.failed() || (head & 0x0f) >= Entry::kTagCount) return false;
    const bool stepped = version >= 2;
    if (!stepped && (head & 0x0f) >= static_cast<uint8_t>(Entry::Tag::Command)) return false;
    entry.tag = static_cast<Entry::Tag>(head & 0x0f);
    uint64_t readings = head >> 4;
    if (readings == kInlineReadings) readings += in.varint();
    switch (entry.tag) {
        case Entry::Tag::Startup:
        case Entry::Tag::Close: break;
        case Entry::Tag::IdlePasses:
            entry.a = static_cast<int64_t>(in.varint());
            if (entry.a < 1 || static_cast<uint64_t>(entry.a) > kMaxIdleRun || readings != 1) return false;
            break;
        case Entry::Tag::Pass:
            entry.a = static_cast<int64_t>(in.varint());
            entry.b = in.byte();
            if (static_cast<uint64_t>(entry.a) > kMaxStepsPerPass ||
                entry.b > (stepped ? 3 | Entry::kPacedPass : 3))
                return false;
            break;
        case Entry::Tag::KeyDown:
        case Entry::Tag::KeyUp:
            entry.a = in.byte();
            entry.b = in.signedVarint();
            entry.c = in.signedVarint();
            break;
        case Entry::Tag::Button:
            entry.a = in.signedVarint();
            entry.b = in.signedVarint();
            entry.c = in.signedVarint();
            entry.d = in.signedVarint();
            break;
        case Entry::Tag::SpecialKey:
            entry.a = in.signedVarint();
            entry.b = in.signedVarint();
            entry.c = in.signedVarint();
            break;
        case Entry::Tag::Modifiers: entry.a = in.signedVarint(); break;
        case Entry::Tag::Motion:
        case Entry::Tag::PassiveMotion:
            entry.b = in.signedVarint();
            entry.c = in.signedVarint();
            break;
        case Entry::Tag::Reshape:
            entry.a = in.signedVarint();
            entry.b = in.signedVarint();
            break;
        case Entry::Tag::Checkpoint:
        case Entry::Tag::End:
            entry.step = in.varint();
            entry.hash = in.u64();
            if (stepped) entry.sharedHash = in.u64();
            break;
        case Entry::Tag::Command: {
            entry.a = static_cast<int64_t>(in.varint());
            if (in.failed() || entry.a < 1 || entry.a > INT32_MAX) return false;
            size_t offset = 0;
            const size_t left = in.left();
            const uint8_t* at = in.take(0);
            if (!at || !decodeStepCommand(at, left, &offset, entry.command)) return false;
            in.take(offset);
            break;
        }
        case Entry::Tag::Seat:
            entry.a = in.byte();
            entry.b = in.byte();
            if (entry.a >= kPlayerSlots || entry.b > Entry::kNoCpuGuard) return false;
            break;
    }
    // Each reading takes at least a byte, so a count beyond what is left is damage.
    if (in.failed() || readings > in.left()) return false;
    entry.readings.reserve(readings);
    for (uint64_t i = 0; i < readings; ++i) {
        // Checked before adding: a damaged delta may be anywhere in the 64-bit range. A reading
        // outside the window system's clock would overflow the main loop's schedule.
        const int64_t delta = in.signedVarint();
        if (in.failed() || delta < -int64_t{lastReading} ||
            delta > int64_t{kMaxClockReading} - lastReading) {
            return false;
        }
        lastReading = static_cast<int32_t>(lastReading + delta);
        entry.readings.push_back(lastReading);
    }
    // Values the handlers take as int or unsigned char.
    for (int64_t v : {entry.b, entry.c, entry.d})
        if (v < INT32_MIN || v > INT32_MAX) return false;
    return entry.a >= INT32_MIN && entry.a <= INT32_MAX;
}

// Fills arguments only when the whole record decodes: a damaged one leaves no part behind.
bool decodeArguments(Reader in, std::vector<std::string>& arguments) {
    const uint64_t count = in.varint();
    if (in.failed() || count > kMaxArguments) return false;
    std::vector<std::string> decoded;
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t length = in.varint();
        const uint8_t* text = in.take(static_cast<size_t>(length));
        if (in.failed()) return false;
        decoded.emplace_back(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    }
    if (!in.atEnd()) return false;
    arguments.swap(decoded);
    return true;
}

bool decodeScriptRead(Reader in, std::vector<ScriptRead>& scripts) {
    if (in.left() < 5) return false;
    const uint8_t* head = in.take(4);
    ScriptRead read;
    read.read = getU32(head);
    const uint8_t present = in.byte();
    if (present > 1 || (present == 0 && !in.atEnd())) return false;
    if (!scripts.empty() && read.read <= scripts.back().read) return false;
    read.present = present == 1;
    const size_t n = in.left();
    const uint8_t* bytes = in.take(n);
    read.bytes.assign(bytes, bytes + n);
    scripts.push_back(std::move(read));
    return true;
}

bool decodeLevelFileRead(Reader in, std::vector<LevelFileRead>& files) {
    LevelFileRead read;
    const uint8_t present = in.byte();
    const uint64_t nameLength = in.varint();
    if (in.failed() || present > 1 || nameLength == 0 || nameLength > 255) return false;
    const uint8_t* name = in.take(static_cast<size_t>(nameLength));
    const uint64_t problemLength = in.varint();
    if (in.failed() || problemLength > 1024) return false;
    const uint8_t* problem = in.take(static_cast<size_t>(problemLength));
    if (in.failed()) return false;
    read.name.assign(reinterpret_cast<const char*>(name), static_cast<size_t>(nameLength));
    read.problem.assign(reinterpret_cast<const char*>(problem), static_cast<size_t>(problemLength));
    read.present = present == 1;
    if (!read.present && !in.atEnd()) return false;
    const size_t n = in.left();
    const uint8_t* bytes = in.take(n);
    read.bytes.assign(bytes, bytes + n);
    files.push_back(std::move(read));
    return true;
}

// distinctBytes grows by the bytes of a load that carries its own.
bool decodeMapLoad(Reader in, std::vector<MapLoad>& maps, uint64_t& distinctBytes) {
    const uint8_t kind = in.byte();
    if (in.failed()) return false;
    MapLoad load;
    if (kind == static_cast<uint8_t>(MapLoadKind::Unreadable)) {
        if (!in.atEnd()) return false;
    } else if (kind == static_cast<uint8_t>(MapLoadKind::Bytes)) {
        load.readable = true;
        const size_t n = in.left();
        const uint8_t* bytes = in.take(n);
        load.bytes = std::make_shared<const std::vector<uint8_t>>(bytes, bytes + n);
        distinctBytes += n;
    } else if (kind == static_cast<uint8_t>(MapLoadKind::SameAsBefore)) {
        const MapLoad* previous = nullptr;
        for (auto it = maps.rbegin(); it != maps.rend() && !previous; ++it)
            if (it->readable) previous = &*it;
        if (!previous || !in.atEnd()) return false;
        load = *previous;
    } else {
        return false;
    }
    maps.push_back(std::move(load));
    return true;
}

std::string at(size_t offset) { return " at byte " + std::to_string(offset); }
}  // namespace

const char* recordingBuildId() { return KELVORAN_BUILD_ID; }

void EntryEncoder::add(const Entry& entry, std::vector<uint8_t>& out) {
    const size_t readings = entry.readings.size();
    const uint8_t inlineCount =
        static_cast<uint8_t>(readings < kInlineReadings ? readings : kInlineReadings);
    out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(entry.tag) | inlineCount << 4));
    if (inlineCount == kInlineReadings) putVarint(out, readings - kInlineReadings);
    switch (entry.tag) {
        case Entry::Tag::Startup:
        case Entry::Tag::Close: break;
        case Entry::Tag::IdlePasses: putVarint(out, static_cast<uint64_t>(entry.a)); break;
        case Entry::Tag::Pass:
            putVarint(out, static_cast<uint64_t>(entry.a));
            out.push_back(static_cast<uint8_t>(entry.b));
            break;
        case Entry::Tag::KeyDown:
        case Entry::Tag::KeyUp:
            out.push_back(static_cast<uint8_t>(entry.a));
            putSigned(out, entry.b);
            putSigned(out, entry.c);
            break;
        case Entry::Tag::Button:
            for (int64_t v : {entry.a, entry.b, entry.c, entry.d}) putSigned(out, v);
            break;
        case Entry::Tag::SpecialKey:
            for (int64_t v : {entry.a, entry.b, entry.c}) putSigned(out, v);
            break;
        case Entry::Tag::Modifiers: putSigned(out, entry.a); break;
        case Entry::Tag::Motion:
        case Entry::Tag::PassiveMotion:
            putSigned(out, entry.b);
            putSigned(out, entry.c);
            break;
        case Entry::Tag::Reshape:
            putSigned(out, entry.a);
            putSigned(out, entry.b);
            break;
        case Entry::Tag::Checkpoint:
        case Entry::Tag::End:
            putVarint(out, entry.step);
            putU64(out, entry.hash);
            if (version_ >= 2) putU64(out, entry.sharedHash);
            break;
        case Entry::Tag::Command:
            putVarint(out, static_cast<uint64_t>(entry.a));
            encodeStepCommand(entry.command, out);
            break;
        case Entry::Tag::Seat:
            out.push_back(static_cast<uint8_t>(entry.a));
            out.push_back(static_cast<uint8_t>(entry.b));
            break;
    }
    for (int32_t reading : entry.readings) {
        putSigned(out, static_cast<int64_t>(reading) - lastReading_);
        lastReading_ = reading;
    }
}

std::vector<uint8_t> encodeHeader(const std::string& buildId, uint16_t version) {
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    putU16(out, version);
    const std::string id = buildId.substr(0, 0xffff);
    putU16(out, static_cast<uint16_t>(id.size()));
    out.insert(out.end(), id.begin(), id.end());
    putU32(out, crcOf(out.data(), out.size()));
    return out;
}

void appendRecord(std::vector<uint8_t>& out, RecordType type, const std::vector<uint8_t>& payload) {
    const size_t start = out.size();
    out.push_back(static_cast<uint8_t>(type));
    putU32(out, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    putU32(out, crcOf(out.data() + start, out.size() - start));
}

std::vector<uint8_t> encodeArguments(const std::vector<std::string>& arguments) {
    std::vector<uint8_t> out;
    putVarint(out, arguments.size());
    for (const std::string& argument : arguments) {
        putVarint(out, argument.size());
        out.insert(out.end(), argument.begin(), argument.end());
    }
    return out;
}

std::vector<uint8_t> encodeMapLoad(MapLoadKind kind, const std::vector<uint8_t>& bytes) {
    const bool withBytes = kind == MapLoadKind::Bytes;
    std::vector<uint8_t> out(withBytes ? 1 + bytes.size() : 1);
    out[0] = static_cast<uint8_t>(kind);
    if (withBytes) std::copy(bytes.begin(), bytes.end(), out.begin() + 1);
    return out;
}

MapLoadRecord encodeMapLoadRecord(MapLoadKind kind, const std::vector<uint8_t>& bytes) {
    const bool withBytes = kind == MapLoadKind::Bytes;
    MapLoadRecord record;
    record.head.push_back(static_cast<uint8_t>(RecordType::MapLoad));
    putU32(record.head, static_cast<uint32_t>(withBytes ? 1 + bytes.size() : 1));
    record.head.push_back(static_cast<uint8_t>(kind));
    uLong crc = crc32(0L, record.head.data(), static_cast<uInt>(record.head.size()));
    if (withBytes) crc = crc32(crc, bytes.data(), static_cast<uInt>(bytes.size()));
    putU32(record.tail, static_cast<uint32_t>(crc));
    return record;
}

bool hasRecordingHeader(const uint8_t* bytes, size_t size) {
    if (size < 8 || std::memcmp(bytes, kMagic, sizeof kMagic) != 0) return false;
    const size_t idLength = static_cast<size_t>(bytes[6] | bytes[7] << 8);
    return size >= 8 + idLength + kCrcSize && getU32(bytes + 8 + idLength) == crcOf(bytes, 8 + idLength);
}

std::vector<uint8_t> encodeScriptRead(const ScriptRead& read) {
    std::vector<uint8_t> out;
    putU32(out, read.read);
    out.push_back(read.present ? 1 : 0);
    if (read.present) out.insert(out.end(), read.bytes.begin(), read.bytes.end());
    return out;
}

std::vector<uint8_t> encodeLevelFileRead(const LevelFileRead& read) {
    std::vector<uint8_t> out;
    out.push_back(read.present ? 1 : 0);
    putVarint(out, read.name.size());
    out.insert(out.end(), read.name.begin(), read.name.end());
    putVarint(out, read.problem.size());
    out.insert(out.end(), read.problem.begin(), read.problem.end());
    if (read.present) out.insert(out.end(), read.bytes.begin(), read.bytes.end());
    return out;
}

Recording decodeRecording(const uint8_t* bytes, size_t size) {
    Recording r;
    auto stop = [&r](Recording::Problem problem, std::string text) {
        r.problem = problem;
        r.problemText = std::move(text);
        return r;
    };
    using P = Recording::Problem;
    const size_t magicSeen = size < sizeof kMagic ? size : sizeof kMagic;
    if (std::memcmp(bytes, kMagic, magicSeen) != 0)
        return stop(P::NotARecording, "it is not a Kelvoran recording (no KREC header)");
    if (size < 8) return stop(P::CutShort, "it ends inside its header" + at(size));
    r.version = static_cast<uint16_t>(bytes[4] | bytes[5] << 8);
    if (r.version < kOldestRecordingFormatVersion || r.version > kRecordingFormatVersion)
        return stop(P::OtherVersion, "it is in recording format version " + std::to_string(r.version) +
                                         "; this program reads versions " +
                                         std::to_string(kOldestRecordingFormatVersion) + " to " +
                                         std::to_string(kRecordingFormatVersion) + " only");
    const size_t idLength = static_cast<size_t>(bytes[6] | bytes[7] << 8);
    const size_t headerSize = 8 + idLength + kCrcSize;
    if (size < headerSize) return stop(P::CutShort, "it ends inside its header" + at(size));
    if (getU32(bytes + 8 + idLength) != crcOf(bytes, 8 + idLength))
        return stop(P::Corrupt, "its header fails its checksum");
    r.buildId.assign(reinterpret_cast<const char*>(bytes + 8), idLength);
    r.goodBytes = headerSize;

    int32_t lastReading = 0;
    uint64_t distinctMapBytes = 0, loadedMapBytes = 0, levelFileBytes = 0;
    int64_t recordedSteps = 0;
    size_t pos = headerSize;
    while (pos < size) {
        const size_t left = size - pos;
        if (left < kRecordHead + kCrcSize)
            return stop(P::CutShort, "it ends inside the record" + at(pos));
        const uint8_t type = bytes[pos];
        const size_t length = getU32(bytes + pos + 1);
        if (length > left - kRecordHead - kCrcSize)
            return stop(P::CutShort, "the record" + at(pos) + " needs " + std::to_string(length) +
                                         " bytes but only " +
                                         std::to_string(left - kRecordHead - kCrcSize) + " remain");
        const size_t crcAt = pos + kRecordHead + length;
        if (getU32(bytes + crcAt) != crcOf(bytes + pos, kRecordHead + length))
            return stop(P::Corrupt, "the record" + at(pos) + " fails its checksum");
        const Reader payload(bytes + pos + kRecordHead, length);
        bool ok = false;
        if (type == static_cast<uint8_t>(RecordType::Arguments)) {
            ok = r.arguments.empty() && decodeArguments(payload, r.arguments);
            for (size_t i = 0; ok && i < r.arguments.size(); ++i)
                if (r.arguments[i].find('\0') != std::string::npos) {
                    r.arguments.clear();
                    return stop(P::Corrupt, "argument " + std::to_string(i + 1) + " in the record" +
                                                at(pos) + " holds a NUL byte");
                }
        } else if (type == static_cast<uint8_t>(RecordType::MapLoad)) {
            ok = decodeMapLoad(payload, r.maps, distinctMapBytes);
            if (ok && r.maps.back().bytes) loadedMapBytes += r.maps.back().bytes->size();
            if (distinctMapBytes > kMaxRecordingMapBytes)
                return stop(P::BeyondLimits, beyondLimit("bytes of distinct maps", kMaxRecordingMapBytes));
            if (loadedMapBytes > kMaxReplayMapLoadBytes)
                return stop(P::BeyondLimits,
                            beyondLimit("map bytes loaded in all", kMaxReplayMapLoadBytes));
        } else if (type == static_cast<uint8_t>(RecordType::ScriptRead)) {
            ok = decodeScriptRead(payload, r.scripts);
            // The game never reads more of map.lua than this: a larger one was not recorded by it.
            if (ok && r.scripts.back().bytes.size() > kMaxScriptBytes)
                return stop(P::BeyondLimits, beyondLimit("bytes of map.lua in one read", kMaxScriptBytes));
        } else if (type == static_cast<uint8_t>(RecordType::LevelFile)) {
            ok = decodeLevelFileRead(payload, r.levelFiles);
            if (ok) levelFileBytes += r.levelFiles.back().bytes.size();
            if (ok && r.levelFiles.back().bytes.size() > kMaxLevelFileBytes)
                return stop(P::BeyondLimits, beyondLimit("bytes of one level file", kMaxLevelFileBytes));
            if (levelFileBytes > kMaxRecordingMapBytes)
                return stop(P::BeyondLimits, beyondLimit("bytes of level files", kMaxRecordingMapBytes));
        } else if (type == static_cast<uint8_t>(RecordType::Entries)) {
            // A batch counts whole or not at all.
            Reader in = payload;
            int32_t last = lastReading;
            std::vector<Entry> batch;
            ok = true;
            while (ok && !in.atEnd()) {
                Entry entry;
                ok = decodeEntry(in, r.version, last, entry);
                if (ok) batch.push_back(std::move(entry));
            }
            if (ok) {
                lastReading = last;
                for (Entry& entry : batch) {
                    if (entry.tag == Entry::Tag::Pass) recordedSteps += entry.a;
                    if (entry.tag == Entry::Tag::Command)
                        loadedMapBytes += entry.command.mapBytes.size() + entry.command.scriptBytes.size();
                    if (entry.tag == Entry::Tag::Command && entry.command.scriptBytes.size() > kMaxScriptBytes)
                        return stop(P::BeyondLimits, beyondLimit("bytes of map.lua in one read", kMaxScriptBytes));
                    r.ended = r.ended || entry.tag == Entry::Tag::End;
                    r.entries.push_back(std::move(entry));
                }
            }
        }
        if (!ok) return stop(P::Corrupt, "the record" + at(pos) + " does not decode");
        if (loadedMapBytes > kMaxReplayMapLoadBytes)
            return stop(P::BeyondLimits, beyondLimit("map bytes loaded in all", kMaxReplayMapLoadBytes));
        if (recordedSteps > kMaxReplaySteps)
            return stop(P::BeyondLimits, beyondLimit("logic steps", kMaxReplaySteps));
        pos = crcAt + kCrcSize;
        r.goodBytes = pos;
    }
    return r;
}
