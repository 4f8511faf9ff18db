// net_protocol.cpp: the shared session's messages to bytes and back, bounded everywhere.
#include "net/net_protocol.h"

#include "core/byte_codec.h"
#include "core/state_hasher.h"

namespace {
void putText(std::vector<uint8_t>& out, const std::string& text) {
    putVarint(out, text.size());
    out.insert(out.end(), text.begin(), text.end());
}

constexpr size_t kMaxTextBytes = 1024;

// The bounded reader, and a message's texts and commands.
class Reader : public ByteReader {
public:
    Reader(const uint8_t* p, size_t size) : ByteReader(p, size) {}
    std::string text(size_t most) {
        const uint64_t n = varint();
        if (!ok() || n > most) return fail(), std::string();
        const uint8_t* start = take(n);
        return start ? std::string(reinterpret_cast<const char*>(start), static_cast<size_t>(n)) : std::string();
    }
    bool command(StepCommand& command) {
        size_t at = offset();
        if (!ok() || !decodeStepCommand(bytes(), size(), &at, command)) return fail() != 0;
        take(at - offset());
        return true;
    }
};
bool validName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameBytes) return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return true;
}
}  // namespace

std::vector<uint8_t> encodeMessage(const NetMessage& m) {
    std::vector<uint8_t> out;
    out.push_back(static_cast<uint8_t>(m.type));
    switch (m.type) {
        case NetMessage::Type::Hello:
            putVarint(out, m.identity.protocol);
            putText(out, m.identity.game);
            putText(out, m.identity.build);
            putText(out, m.identity.libraries);
            putU64(out, m.identity.mapHash);
            putU64(out, m.identity.scriptHash);
            putText(out, m.text);
            break;
        case NetMessage::Type::Welcome: putVarint(out, static_cast<uint64_t>(m.a)); break;
        case NetMessage::Type::Refuse: putText(out, m.text); break;
        case NetMessage::Type::Command: encodeStepCommand(m.command, out); break;
        case NetMessage::Type::Bundle:
            putVarint(out, static_cast<uint64_t>(m.a));
            putVarint(out, m.commands.size());
            for (const StepCommand& c : m.commands) encodeStepCommand(c, out);
            break;
        case NetMessage::Type::Hash:
            putVarint(out, static_cast<uint64_t>(m.a));
            putU64(out, m.b);
            break;
        case NetMessage::Type::Desync: putVarint(out, static_cast<uint64_t>(m.a)); break;
        case NetMessage::Type::Joined:
        case NetMessage::Type::Left:
            putVarint(out, static_cast<uint64_t>(m.a));
            putText(out, m.text);
            break;
        case NetMessage::Type::Players:
            putVarint(out, m.players.size());
            for (const auto& line : m.players) {
                out.push_back(line.player);
                putText(out, line.name);
                putVarint(out, line.pingMs);
            }
            break;
    }
    return out;
}

bool decodeMessage(const uint8_t* bytes, size_t size, NetMessage& m) {
    if (size == 0 || size > kMaxPacketBytes) return false;
    Reader in(bytes, size);
    const uint8_t type = in.byte();
    if (type == 0 || type >= NetMessage::kTypeCount) return false;
    m = NetMessage();
    m.type = static_cast<NetMessage::Type>(type);
    constexpr uint64_t kMaxStep = INT32_MAX;
    switch (m.type) {
        case NetMessage::Type::Hello: {
            const uint64_t protocol = in.varint();
            if (protocol > 0xffff) return false;
            m.identity.protocol = static_cast<uint16_t>(protocol);
            m.identity.game = in.text(kMaxTextBytes);
            m.identity.build = in.text(kMaxTextBytes);
            m.identity.libraries = in.text(kMaxTextBytes);
            m.identity.mapHash = in.u64();
            m.identity.scriptHash = in.u64();
            m.text = in.text(kMaxNameBytes);
            if (in.ok() && !validName(m.text)) return false;
            break;
        }
        case NetMessage::Type::Welcome:
            m.a = static_cast<int64_t>(in.varint());
            if (m.a < 1 || m.a >= kMaxPlayers) return false;
            break;
        case NetMessage::Type::Refuse: m.text = in.text(kMaxTextBytes); break;
        case NetMessage::Type::Command: in.command(m.command); break;
        case NetMessage::Type::Bundle: {
            const uint64_t step = in.varint();
            const uint64_t count = in.varint();
            if (step < 1 || step > kMaxStep || count > kMaxCommandsPerBundle) return false;
            m.a = static_cast<int64_t>(step);
            for (uint64_t i = 0; i < count && in.ok(); ++i) {
                m.commands.emplace_back();
                in.command(m.commands.back());
                if (in.ok() && m.commands.back().player >= kMaxPlayers) return false;
            }
            break;
        }
        case NetMessage::Type::Hash:
            m.a = static_cast<int64_t>(in.varint());
            m.b = in.u64();
            if (m.a < 1 || static_cast<uint64_t>(m.a) > kMaxStep) return false;
            break;
        case NetMessage::Type::Desync:
            m.a = static_cast<int64_t>(in.varint());
            if (static_cast<uint64_t>(m.a) > kMaxStep) return false;
            break;
        case NetMessage::Type::Joined:
        case NetMessage::Type::Left:
            m.a = static_cast<int64_t>(in.varint());
            m.text = in.text(kMaxTextBytes);
            if (m.a < 0 || m.a >= kMaxPlayers) return false;
            break;
        case NetMessage::Type::Players: {
            const uint64_t count = in.varint();
            if (count > static_cast<uint64_t>(kMaxPlayers)) return false;
            for (uint64_t i = 0; i < count && in.ok(); ++i) {
                NetMessage::PlayerLine line;
                line.player = in.byte();
                line.name = in.text(kMaxNameBytes);
                const uint64_t ping = in.varint();
                if (line.player >= kMaxPlayers || ping > UINT32_MAX) return false;
                line.pingMs = static_cast<uint32_t>(ping);
                m.players.push_back(line);
            }
            break;
        }
    }
    return in.ok() && in.atEnd();
}

uint64_t fileHash(bool present, const std::vector<uint8_t>& bytes) {
    if (!present) return 0;
    StateHasher h;
    h.bytes(bytes.data(), bytes.size());
    return h.value() == 0 ? 1 : h.value();
}

std::string identityMismatch(const PeerIdentity& joiner, const PeerIdentity& host) {
    if (joiner.protocol != host.protocol)
        return "protocol version " + std::to_string(joiner.protocol) + ", the host speaks " +
               std::to_string(host.protocol);
    if (joiner.game != host.game) return "game " + joiner.game + ", the host runs " + host.game;
    if (joiner.build != host.build) return "build " + joiner.build + ", the host's is " + host.build;
    if (joiner.libraries != host.libraries)
        return "libraries " + joiner.libraries + ", the host's are " + host.libraries;
    if (joiner.mapHash != host.mapHash) return "map.txt differs from the host's";
    if (joiner.scriptHash != host.scriptHash) return "map.lua differs from the host's";
    return "";
}
