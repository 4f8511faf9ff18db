// step_command.cpp: a step command's bytes: kind, player and the fields the kind uses, integers
// as varints, the world position as the floats' raw bits, attached files with their length.
#include "game/step_command.h"

#include <cstring>

#include "core/byte_codec.h"

namespace {
void putFile(std::vector<uint8_t>& out, AttachedFile kind, const std::vector<uint8_t>& bytes) {
    out.push_back(static_cast<uint8_t>(kind));
    if (kind != AttachedFile::Bytes) return;
    putVarint(out, bytes.size());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// The bounded reader, and a command's attached files.
class Reader : public ByteReader {
public:
    using ByteReader::ByteReader;
    bool file(AttachedFile& kind, std::vector<uint8_t>& bytes) {
        const uint8_t k = byte();
        if (!ok() || k > static_cast<uint8_t>(AttachedFile::Bytes)) return fail() != 0;
        kind = static_cast<AttachedFile>(k);
        bytes.clear();
        if (kind != AttachedFile::Bytes) return true;
        const uint64_t n = varint();
        if (!ok() || n > kMaxAttachedBytes) return fail() != 0;
        const uint8_t* start = take(n);
        if (!start) return false;
        bytes.assign(start, start + n);
        return true;
    }
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
            putFloatBits(out, command.pixelSize);
            break;
        case StepCommand::Kind::Pointer:
            putSigned(out, command.state);
            putFloatBits(out, command.world.x);
            putFloatBits(out, command.world.y);
            putFloatBits(out, command.pixelSize);
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
