// step_command.cpp: a step command's bytes: kind, player and the fields the kind uses, integers
// as varints, the world position as the floats' raw bits, attached files with their length.
#include "game/step_command.h"

#include <cstring>

namespace {
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

void putFloat(std::vector<uint8_t>& out, float f) {
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

void putFile(std::vector<uint8_t>& out, AttachedFile kind, const std::vector<uint8_t>& bytes) {
    out.push_back(static_cast<uint8_t>(kind));
    if (kind != AttachedFile::Bytes) return;
    putVarint(out, bytes.size());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

class Reader {
public:
    Reader(const uint8_t* bytes, size_t size, size_t offset) : p_(bytes), size_(size), at_(offset) {}
    bool ok() const { return ok_; }
    size_t offset() const { return at_; }
    uint8_t byte() {
        if (at_ >= size_) return fail();
        return p_[at_++];
    }
    uint64_t varint() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uint8_t b = byte();
            if (!ok_) return 0;
            v |= static_cast<uint64_t>(b & 0x7f) << shift;
            if (!(b & 0x80)) return v;
        }
        return fail();
    }
    // Only values an int32_t holds: anything wider is damage.
    int32_t signed32() {
        const uint64_t z = varint();
        const int64_t v = static_cast<int64_t>(z >> 1) ^ -static_cast<int64_t>(z & 1);
        if (v < INT32_MIN || v > INT32_MAX) return static_cast<int32_t>(fail());
        return static_cast<int32_t>(v);
    }
    float real() {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(byte()) << (8 * i);
        float f = 0;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    bool file(AttachedFile& kind, std::vector<uint8_t>& bytes) {
        const uint8_t k = byte();
        if (!ok_ || k > static_cast<uint8_t>(AttachedFile::Bytes)) return fail() != 0;
        kind = static_cast<AttachedFile>(k);
        bytes.clear();
        if (kind != AttachedFile::Bytes) return true;
        const uint64_t n = varint();
        // Checked against what is left before any allocation: a length is not a promise.
        if (!ok_ || n > kMaxAttachedBytes || n > size_ - at_) return fail() != 0;
        bytes.assign(p_ + at_, p_ + at_ + n);
        at_ += static_cast<size_t>(n);
        return true;
    }
    uint8_t fail() {
        ok_ = false;
        at_ = size_;
        return 0;
    }

private:
    const uint8_t* p_;
    size_t size_;
    size_t at_;
    bool ok_ = true;
};

bool usesFiles(StepCommand::Kind kind) { return kind == StepCommand::Kind::KeyDown; }
}  // namespace

bool operator==(const StepCommand& a, const StepCommand& b) {
    return a.player == b.player && a.kind == b.kind && a.code == b.code && a.state == b.state &&
           a.modifiers == b.modifiers && std::memcmp(&a.world, &b.world, sizeof a.world) == 0 &&
           std::memcmp(&a.pixelSize, &b.pixelSize, sizeof a.pixelSize) == 0 &&
           a.map == b.map && a.mapBytes == b.mapBytes && a.script == b.script &&
           a.scriptBytes == b.scriptBytes;
}

void encodeStepCommand(const StepCommand& command, std::vector<uint8_t>& out) {
    out.push_back(static_cast<uint8_t>(command.kind));
    out.push_back(command.player);
    switch (command.kind) {
        case StepCommand::Kind::KeyDown:
        case StepCommand::Kind::KeyUp:
        case StepCommand::Kind::SpecialKey: putSigned(out, command.code); break;
        case StepCommand::Kind::Button:
            putSigned(out, command.code);
            putSigned(out, command.state);
            putSigned(out, command.modifiers);
            putFloat(out, command.pixelSize);
            break;
        case StepCommand::Kind::Pointer:
            putSigned(out, command.state);
            putFloat(out, command.world.x);
            putFloat(out, command.world.y);
            putFloat(out, command.pixelSize);
            break;
    }
    if (usesFiles(command.kind)) {
        putFile(out, command.map, command.mapBytes);
        putFile(out, command.script, command.scriptBytes);
    }
}

bool decodeStepCommand(const uint8_t* bytes, size_t size, size_t* offset, StepCommand& command) {
    Reader in(bytes, size, *offset);
    const uint8_t kind = in.byte();
    if (!in.ok() || kind >= StepCommand::kKindCount) return false;
    command = StepCommand();
    command.kind = static_cast<StepCommand::Kind>(kind);
    command.player = in.byte();
    switch (command.kind) {
        case StepCommand::Kind::KeyDown:
        case StepCommand::Kind::KeyUp:
        case StepCommand::Kind::SpecialKey:
            command.code = in.signed32();
            if (command.code < 0 || command.code > 255) return false;
            break;
        case StepCommand::Kind::Button:
            command.code = in.signed32();
            command.state = in.signed32();
            command.modifiers = in.signed32();
            command.pixelSize = in.real();
            if (command.state < 0 || command.state > 1) return false;
            break;
        case StepCommand::Kind::Pointer:
            command.state = in.signed32();
            command.world.x = in.real();
            command.world.y = in.real();
            command.pixelSize = in.real();
            if (command.state < 0 || command.state > 1) return false;
            break;
    }
    if (usesFiles(command.kind) &&
        (!in.file(command.map, command.mapBytes) || !in.file(command.script, command.scriptBytes)))
        return false;
    if (!in.ok()) return false;
    *offset = in.offset();
    return true;
}
