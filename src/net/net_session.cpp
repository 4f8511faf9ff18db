// net_session.cpp: the host's and the joiner's halves of a shared session on one ENet host each.
#include "net/net_session.h"

#include <box2d/box2d.h>
#include <enet/enet.h>
#include <gnu/libc-version.h>
#include <lua.h>

#include <algorithm>
#include <deque>
#include <iostream>
#include <map>

#include "core/terminal_text.h"
#include "game/host.h"
#include "game/messages.h"
#include "game/sandbox.h"
#include "game/state_hash.h"
#include "game/step_commands.h"
#include "script/lua_sandbox.h"

namespace {
constexpr int32_t kStepMs = 10;
constexpr int32_t kMinDelaySteps = 2;
constexpr int32_t kMaxDelaySteps = 100;
constexpr int32_t kDelayFallEverySteps = 100;  // D falls one step at a time, this often
constexpr int64_t kHashEverySteps = 100;
constexpr int64_t kMostStepsBehind = 1000;     // 10 s of play
constexpr int64_t kPlayersEverySteps = 50;     // the Tab list's pings
constexpr uint8_t kEscKey = 27;
constexpr size_t kChannels = 1;
constexpr uint32_t kSilentPeerMinMs = 3000;
constexpr uint32_t kSilentPeerMaxMs = 6000;

struct Joiner {
    ENetPeer* peer = nullptr;
    uint8_t player = 0;  // 0 until welcomed
    std::string name;
    int64_t welcomedAt = 0;
    int64_t reported = 0;  // the latest step it sent a hash for
};

struct Pending {
    int64_t step = 0;
    StepCommand command;
};

struct Session {
    SessionState state = SessionState::Off;
    bool hosting = false;
    ENetHost* host = nullptr;
    ENetPeer* server = nullptr;  // a joiner's way to the host
    std::string name;
    PeerIdentity identity;
    std::string end;
    // Host.
    std::vector<Joiner> joiners;
    std::deque<Pending> pending;  // by assigned step, then arrival
    std::vector<std::vector<uint8_t>> history;  // bundle s at s - 1
    std::map<int64_t, uint64_t> ownHashes;
    int32_t delay = kMinDelaySteps;
    int64_t delayChangedAt = 0;
    // Joiner.
    int64_t lastBundle = 0;
    std::map<int64_t, uint64_t> sentHashes;
    std::vector<PlayerListing> players;
    int64_t desyncAt = 0;
    DesyncHandler onDesync = nullptr;
};
Session session;

// Names and reasons come from other machines: a control character in them is shown, not obeyed.
void say(const std::string& text) {
    const std::string line = escapeForTerminal(text);
    std::cout << line << std::endl;
    showMessage(line);
}

void send(ENetPeer* peer, const NetMessage& message) {
    const std::vector<uint8_t> bytes = encodeMessage(message);
    ENetPacket* packet = enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
    if (enet_peer_send(peer, 0, packet) != 0) enet_packet_destroy(packet);
}

void sendBytes(ENetPeer* peer, const std::vector<uint8_t>& bytes) {
    ENetPacket* packet = enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
    if (enet_peer_send(peer, 0, packet) != 0) enet_packet_destroy(packet);
}

Joiner* joinerOf(ENetPeer* peer) {
    for (Joiner& j : session.joiners)
        if (j.peer == peer) return &j;
    return nullptr;
}

void broadcastToPlaying(const NetMessage& message) {
    const std::vector<uint8_t> bytes = encodeMessage(message);
    for (Joiner& j : session.joiners)
        if (j.player != 0) sendBytes(j.peer, bytes);
}

// The host forgets a joiner; the others are told why in one line.
void dropJoiner(ENetPeer* peer, const std::string& why, bool disconnect) {
    Joiner* joiner = joinerOf(peer);
    if (!joiner) return;
    const uint8_t player = joiner->player;
    const std::string line = why;
    session.joiners.erase(std::remove_if(session.joiners.begin(), session.joiners.end(),
                                         [peer](const Joiner& j) { return j.peer == peer; }),
                          session.joiners.end());
    if (disconnect) {
        // The dropped peer hears why, when it still listens.
        NetMessage gone;
        gone.type = NetMessage::Type::Refuse;
        gone.text = why;
        send(peer, gone);
        enet_peer_disconnect_later(peer, 0);
    }
    if (player == 0) return;  // never welcomed: nobody else knew of it
    say(line);
    NetMessage left;
    left.type = NetMessage::Type::Left;
    left.a = player;
    left.text = line;
    broadcastToPlaying(left);
}

uint8_t freePlayer() {
    for (uint8_t p = 1; p < kMaxPlayers; ++p) {
        bool taken = false;
        for (const Joiner& j : session.joiners) taken = taken || j.player == p;
        if (!taken) return p;
    }
    return 0;
}

void refuse(ENetPeer* peer, const std::string& why) {
    NetMessage no;
    no.type = NetMessage::Type::Refuse;
    no.text = why;
    send(peer, no);
    enet_peer_disconnect_later(peer, 0);
}

void welcome(Joiner& joiner, const NetMessage& hello) {
    const std::string mismatch = identityMismatch(hello.identity, session.identity);
    if (!mismatch.empty()) return refuse(joiner.peer, "this build differs: " + mismatch);
    const uint8_t player = freePlayer();
    if (player == 0) return refuse(joiner.peer, "the room is full (8 players)");
    joiner.player = player;
    joiner.name = hello.text;
    joiner.welcomedAt = currentStep();
    NetMessage yes;
    yes.type = NetMessage::Type::Welcome;
    yes.a = player;
    send(joiner.peer, yes);
    // The session so far, bundle by bundle: the joiner plays it at full speed, then goes live.
    for (const auto& bundle : session.history) sendBytes(joiner.peer, bundle);
    say(joiner.name + " joined");
    NetMessage joined;
    joined.type = NetMessage::Type::Joined;
    joined.a = player;
    joined.text = joiner.name;
    broadcastToPlaying(joined);
}

void service();

// After a desync no peer runs another step (a joiner's pacer already says none). The game stands
// still without a pause of its own, which would be state no recording holds: every honest
// recording must still replay to its own hash.
int32_t hostFrozen() {
    service();
    return 0;
}

void stopForDesync(int64_t step) {
    if (session.desyncAt != 0) return;
    session.desyncAt = step;
    if (session.hosting) setStepPacer(hostFrozen);
    say("Desync: the game differs by step " + std::to_string(step) +
        "; every player's recording is written");
    if (session.onDesync) session.onDesync(step);
}

void compareHash(int64_t step, uint64_t theirs, const std::string& who) {
    const auto own = session.ownHashes.find(step);
    if (own == session.ownHashes.end() || own->second == theirs) return;
    std::cerr << "desync: " << who << " differs at step " << step << std::endl;
    NetMessage stop;
    stop.type = NetMessage::Type::Desync;
    stop.a = step;
    broadcastToPlaying(stop);
    stopForDesync(step);
}

void hostReceive(ENetPeer* peer, const uint8_t* data, size_t size) {
    Joiner* joiner = joinerOf(peer);
    if (!joiner) return;
    NetMessage m;
    const std::string who = joiner->name.empty() ? "a peer" : joiner->name;
    // Only a command may carry files; anything else beyond a few kilobytes is no honest message.
    const bool command = size > 0 && data[0] == static_cast<uint8_t>(NetMessage::Type::Command);
    if (size > (command ? kMaxPacketBytes : kMaxControlBytes))
        return dropJoiner(peer, who + " was dropped: it sent an oversized packet (" + std::to_string(size) + " bytes)", true);
    if (!decodeMessage(data, size, m))
        return dropJoiner(peer, who + " was dropped: it sent a malformed packet", true);
    if (joiner->player == 0) {
        if (m.type != NetMessage::Type::Hello)
            return dropJoiner(peer, who + " was dropped: it spoke before saying hello", true);
        return welcome(*joiner, m);
    }
    switch (m.type) {
        case NetMessage::Type::Command:
            // Numbered by the host alone: whatever player it claims, it is this joiner's.
            m.command.player = joiner->player;
            session.pending.push_back({currentStep() + 1 + session.delay, m.command});
            break;
        case NetMessage::Type::Hash:
            if (m.a > currentStep() || m.a % kHashEverySteps != 0 || m.a <= joiner->reported)
                return dropJoiner(peer, who + " was dropped: it sent a hash out of order (step " + std::to_string(m.a) + ")", true);
            joiner->reported = std::max(joiner->reported, m.a);
            compareHash(m.a, m.b, joiner->name);
            break;
        case NetMessage::Type::Hello: dropJoiner(peer, who + " was dropped: it said hello twice", true); break;
        default: dropJoiner(peer, who + " was dropped: it sent a message only the host sends", true);
    }
}

void joinerReceive(const uint8_t* data, size_t size) {
    NetMessage m;
    if (!decodeMessage(data, size, m)) {
        session.state = SessionState::Over;
        session.end = "the host sent a malformed packet";
        return;
    }
    switch (m.type) {
        case NetMessage::Type::Welcome:
            setLocalPlayer(static_cast<uint8_t>(m.a));
            session.state = SessionState::Playing;
            break;
        case NetMessage::Type::Refuse:
            // Refused at the door, or dropped once playing (fallen too far behind).
            if (session.state == SessionState::Playing) {
                session.state = SessionState::Over;
                session.end = "the host dropped this player: " + m.text;
            } else {
                session.state = SessionState::Refused;
                session.end = "join refused: " + m.text;
            }
            break;
        case NetMessage::Type::Bundle:
            if (m.a != session.lastBundle + 1) {
                session.state = SessionState::Over;
                session.end = "the host's bundles came out of order";
                return;
            }
            session.lastBundle = m.a;
            for (const StepCommand& c : m.commands) scheduleCommand(m.a, c);
            break;
        case NetMessage::Type::Desync: stopForDesync(m.a); break;
        case NetMessage::Type::Joined: say(m.text + " joined"); break;
        case NetMessage::Type::Left: say(m.text); break;
        case NetMessage::Type::Players:
            session.players.clear();
            for (const auto& line : m.players) session.players.push_back({line.player, line.name, line.pingMs});
            break;
        default: break;
    }
}

void service() {
    if (!session.host) return;
    ENetEvent event;
    while (session.host && enet_host_service(session.host, &event, 0) > 0) {
        switch (event.type) {
            case ENET_EVENT_TYPE_CONNECT:
                if (session.hosting) {
                    // A joiner silent for seconds is gone: the others hear it long before the
                    // 10 s rule would drop it.
                    enet_peer_timeout(event.peer, 0, kSilentPeerMinMs, kSilentPeerMaxMs);
                    session.joiners.push_back({event.peer, 0, "", 0, 0});
                }
                break;
            case ENET_EVENT_TYPE_RECEIVE:
                if (session.hosting) {
                    hostReceive(event.peer, event.packet->data, event.packet->dataLength);
                } else {
                    joinerReceive(event.packet->data, event.packet->dataLength);
                }
                enet_packet_destroy(event.packet);
                break;
            case ENET_EVENT_TYPE_DISCONNECT:
                if (session.hosting) {
                    const Joiner* j = joinerOf(event.peer);
                    if (j) dropJoiner(event.peer, j->name + " left", false);
                } else if (session.state == SessionState::Joining) {
                    session.state = SessionState::Refused;
                    if (session.end.empty()) session.end = "the host did not answer";
                } else if (session.state == SessionState::Playing) {
                    session.state = SessionState::Over;
                    session.end = "the host left: the session is over";
                }
                break;
            case ENET_EVENT_TYPE_NONE: break;
        }
    }
    if (!session.hosting && session.state == SessionState::Over && session.server) {
        say(session.end);
        session.server = nullptr;
        host().window.leaveMainLoop();
    }
}

// D: two steps and the worst round trip in steps; up at once, down a step at a time.
void adaptDelay(int64_t step) {
    uint32_t worst = 0;
    for (const Joiner& j : session.joiners)
        if (j.player != 0) worst = std::max(worst, j.peer->roundTripTime);
    const int32_t wanted = std::min<int32_t>(
        kMaxDelaySteps, kMinDelaySteps + static_cast<int32_t>((worst + kStepMs - 1) / kStepMs));
    if (wanted > session.delay) {
        session.delay = wanted;
        session.delayChangedAt = step;
    } else if (wanted < session.delay && step - session.delayChangedAt >= kDelayFallEverySteps) {
        --session.delay;
        session.delayChangedAt = step;
    }
}

void hostBeginStep(int64_t step) {
    service();
    adaptDelay(step);
    // A step's hash is taken as the next begins: the state after it.
    if ((step - 1) % kHashEverySteps == 0 && step > 1) session.ownHashes[step - 1] = sharedStateHash();
    for (const Joiner& j : std::vector<Joiner>(session.joiners)) {
        if (j.player != 0 && step - std::max(j.welcomedAt, j.reported) > kMostStepsBehind + kHashEverySteps)
            dropJoiner(j.peer, j.name + " was dropped: more than 10 s behind", true);
    }
    NetMessage bundle;
    bundle.type = NetMessage::Type::Bundle;
    bundle.a = step;
    while (!session.pending.empty() && session.pending.front().step <= step) {
        bundle.commands.push_back(session.pending.front().command);
        session.pending.pop_front();
    }
    for (const StepCommand& c : bundle.commands) scheduleCommand(step, c);
    session.history.push_back(encodeMessage(bundle));
    for (Joiner& j : session.joiners)
        if (j.player != 0) sendBytes(j.peer, session.history.back());
    if (step % kPlayersEverySteps == 0) {
        NetMessage list;
        list.type = NetMessage::Type::Players;
        for (const PlayerListing& p : sessionPlayers()) list.players.push_back({p.player, p.name, p.pingMs});
        broadcastToPlaying(list);
    }
    enet_host_flush(session.host);
}

void hostSink(const StepCommand& command) {
    if (command.kind == StepCommand::Kind::KeyDown && command.code == kEscKey) {
        host().window.leaveMainLoop();  // the host's Esc ends the session, not everyone's game
        return;
    }
    session.pending.push_back({currentStep() + 1 + session.delay, command});
}

void joinerBeginStep(int64_t step) {
    if ((step - 1) % kHashEverySteps == 0 && step > 1 && session.server) {
        NetMessage hash;
        hash.type = NetMessage::Type::Hash;
        hash.a = step - 1;
        hash.b = sharedStateHash();
        send(session.server, hash);
    }
}

int32_t joinerPacer() {
    service();
    if (session.state != SessionState::Playing || session.desyncAt != 0) return 0;
    return static_cast<int32_t>(std::max<int64_t>(0, session.lastBundle - currentStep()));
}

void joinerSink(const StepCommand& command) {
    if (command.kind == StepCommand::Kind::KeyDown && command.code == kEscKey) {
        host().window.leaveMainLoop();  // leaving; the others play on
        return;
    }
    if (session.server && session.state == SessionState::Playing) {
        NetMessage m;
        m.type = NetMessage::Type::Command;
        m.command = command;
        send(session.server, m);
        enet_host_flush(session.host);
    }
}

bool initialise(std::string* problem) {
    if (enet_initialize() != 0) {
        if (problem) *problem = "ENet cannot start";
        return false;
    }
    return true;
}
}  // namespace

PeerIdentity localIdentity(const std::string& build) {
    PeerIdentity id;
    id.game = "kelvoran 0.1";
    id.build = build;
    const ENetVersion enet = enet_linked_version();
    id.libraries = "Box2D " + std::to_string(b2_version.major) + "." + std::to_string(b2_version.minor) +
                   "." + std::to_string(b2_version.revision) + ", " + LUA_RELEASE + ", glibc " +
                   gnu_get_libc_version() + ", ENet " + std::to_string(ENET_VERSION_GET_MAJOR(enet)) +
                   "." + std::to_string(ENET_VERSION_GET_MINOR(enet)) + "." +
                   std::to_string(ENET_VERSION_GET_PATCH(enet));
    std::vector<uint8_t> bytes;
    std::string unreadable;  // the identity needs only whether it was read
    const bool map = readMapFromDisk(bytes, unreadable);
    id.mapHash = fileHash(map, bytes);
    const bool script = readScriptFromDisk(bytes);
    id.scriptHash = fileHash(script, bytes);
    return id;
}

bool startHosting(uint16_t port, const std::string& name, const PeerIdentity& identity,
                  std::string* problem) {
    if (!initialise(problem)) return false;
    session = Session();
    ENetAddress address;
    address.host = ENET_HOST_ANY;
    address.port = port;
    session.host = enet_host_create(&address, kMaxPlayers - 1 + 4, kChannels, 0, 0);
    if (!session.host) {
        if (problem) *problem = "cannot listen on UDP port " + std::to_string(port);
        return false;
    }
    session.hosting = true;
    session.name = name;
    session.identity = identity;
    session.state = SessionState::Playing;
    setLocalPlayer(0);
    setScriptCpuGuard(false);  // a script stops at the same instruction on every peer
    setStepBeginHook(hostBeginStep);
    setCommandSink(hostSink);
    return true;
}

bool startJoining(const std::string& hostName, uint16_t port, const std::string& name,
                  const PeerIdentity& identity, std::string* problem) {
    if (!initialise(problem)) return false;
    session = Session();
    ENetAddress address;
    if (enet_address_set_host(&address, hostName.c_str()) != 0) {
        if (problem) *problem = "cannot find the host " + hostName;
        return false;
    }
    address.port = port;
    session.host = enet_host_create(nullptr, 1, kChannels, 0, 0);
    if (!session.host) {
        if (problem) *problem = "ENet cannot open a socket";
        return false;
    }
    session.server = enet_host_connect(session.host, &address, kChannels, 0);
    if (!session.server) {
        if (problem) *problem = "ENet cannot connect";
        return false;
    }
    session.name = name;
    session.identity = identity;
    session.state = SessionState::Joining;
    // Waits for the connection (5 s), then says hello; the answer comes through serviceNetwork.
    ENetEvent event;
    if (enet_host_service(session.host, &event, 5000) <= 0 || event.type != ENET_EVENT_TYPE_CONNECT) {
        if (problem) *problem = "no host answers at " + hostName + ":" + std::to_string(port);
        enet_peer_reset(session.server);
        session.server = nullptr;
        return false;
    }
    NetMessage hello;
    hello.type = NetMessage::Type::Hello;
    hello.identity = identity;
    hello.text = name;
    send(session.server, hello);
    enet_host_flush(session.host);
    setScriptCpuGuard(false);  // a script stops at the same instruction on every peer
    setStepPacer(joinerPacer);
    setStepBeginHook(joinerBeginStep);
    setCommandSink(joinerSink);
    return true;
}

void serviceNetwork() {
    service();
    if (session.host) enet_host_flush(session.host);
}

void stopNetwork() {
    if (!session.host) return;
    if (session.server) enet_peer_disconnect_later(session.server, 0);
    for (Joiner& j : session.joiners) enet_peer_disconnect_later(j.peer, 0);
    enet_host_flush(session.host);
    // A moment for the goodbyes to leave; the peers learn of it either way.
    ENetEvent event;
    for (int i = 0; i < 20 && enet_host_service(session.host, &event, 10) >= 0; ++i) {
        if (event.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(event.packet);
    }
    enet_host_destroy(session.host);
    session.host = nullptr;
    setStepPacer(nullptr);
    setStepBeginHook(nullptr);
    setCommandSink(nullptr);
    enet_deinitialize();
    if (session.state != SessionState::Refused && session.state != SessionState::Over)
        session.state = SessionState::Off;
}

SessionState sessionState() { return session.state; }
std::string sessionEnd() { return session.end; }
int connectedPeers() {
    int n = 0;
    for (const Joiner& j : session.joiners) n += j.player != 0 ? 1 : 0;
    return n;
}
int32_t inputDelaySteps() { return session.delay; }
uint64_t bytesSent() { return session.host ? session.host->totalSentData : 0; }
uint64_t bytesReceived() { return session.host ? session.host->totalReceivedData : 0; }
int64_t desyncStep() { return session.desyncAt; }
void setDesyncHandler(DesyncHandler handler) { session.onDesync = handler; }

std::vector<PlayerListing> sessionPlayers() {
    if (!session.hosting) return session.players;
    std::vector<PlayerListing> list = {{0, session.name, 0}};
    for (const Joiner& j : session.joiners)
        if (j.player != 0) list.push_back({j.player, j.name, j.peer->roundTripTime});
    return list;
}
