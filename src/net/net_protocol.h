// net_protocol.h: the messages of a shared session and their bytes. Every packet is one message:
// a type byte, then its fields; anything that is not a whole, valid message decodes to nothing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "game/step_command.h"

constexpr uint16_t kProtocolVersion = 1;
constexpr uint16_t kDefaultPort = 27960;
constexpr int kMaxPlayers = 8;
constexpr size_t kMaxNameBytes = 32;
constexpr size_t kMaxPacketBytes = 80u * 1024 * 1024;  // a command carrying a whole map
constexpr size_t kMaxCommandsPerBundle = 4096;
constexpr size_t kMaxControlBytes = 4096;  // any message but a command: a hello is the largest

// What a peer runs: a join is refused unless every field matches the host's.
struct PeerIdentity {
    uint16_t protocol = kProtocolVersion;
    std::string game;       // "kelvoran 0.1"
    std::string build;      // source revision and compiler
    std::string libraries;  // Box2D, Lua, C library and ENet versions, as they run
    uint64_t mapHash = 0;     // FNV-1a of map.txt's bytes (0: none)
    uint64_t scriptHash = 0;  // FNV-1a of map.lua's bytes (0: none)
};

struct NetMessage {
    enum class Type : uint8_t {
        Hello = 1,    // joiner to host: identity, name
        Welcome = 2,  // host to joiner: its player number (a = player)
        Refuse = 3,   // host to joiner: text = why
        Command = 4,  // peer to host: command
        Bundle = 5,   // host to peers: a = step, commands applied at its start
        Hash = 6,     // peer to host: a = step, b = shared state hash after it
        Desync = 7,   // host to peers: a = the first checked step that differs; the game stops
        Joined = 8,   // host to peers: a = player, text = name
        Left = 9,     // host to peers: a = player, text = why ("NAME left")
        Players = 10, // host to peers: names and pings, for the Tab list
    };
    static constexpr uint8_t kTypeCount = 11;

    Type type = Type::Hello;
    PeerIdentity identity;
    std::string text;
    int64_t a = 0;
    uint64_t b = 0;
    StepCommand command;
    std::vector<StepCommand> commands;
    struct PlayerLine {
        uint8_t player = 0;
        std::string name;
        uint32_t pingMs = 0;
    };
    std::vector<PlayerLine> players;
};

std::vector<uint8_t> encodeMessage(const NetMessage& message);
// False on anything but exactly one valid message.
bool decodeMessage(const uint8_t* bytes, size_t size, NetMessage& message);

// FNV-1a of a file's bytes; 0 stands for no file.
uint64_t fileHash(bool present, const std::vector<uint8_t>& bytes);
// The first field that differs between a joiner and the host, as the refusal says it; empty
// when they match.
std::string identityMismatch(const PeerIdentity& joiner, const PeerIdentity& host);
