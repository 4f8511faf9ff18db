// hostile_peer: a joiner that breaks the protocol, for the tests: it joins honestly (the map and
// build of the working folder), takes a few bundles, then sends one bad packet and waits to be
// dropped. Kinds: malformed (a command that does not decode), oversized (a hash message of
// 64 KiB), out-of-order (a hash for a step the host has not played), twice (a second hello).
//   hostile_peer --join HOST:PORT --kind KIND [--name NAME]
// Prints "hostile: dropped: REASON" when the host lets it go, exit 0; else a line and exit 1.
#include <enet/enet.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "net/net_protocol.h"
#include "net/net_session.h"
#include "session/recording_format.h"

namespace {
void sendBytes(ENetPeer* peer, const std::vector<uint8_t>& bytes) {
    ENetPacket* packet = enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
    if (enet_peer_send(peer, 0, packet) != 0) enet_packet_destroy(packet);
}

std::vector<uint8_t> badPacket(const std::string& kind, const PeerIdentity& identity, const std::string& name) {
    NetMessage m;
    if (kind == "malformed") {
        // A key command cut short after its kind.
        return {static_cast<uint8_t>(NetMessage::Type::Command), 0, 0};
    }
    if (kind == "oversized") {
        std::vector<uint8_t> bytes(64 * 1024, 0);
        bytes[0] = static_cast<uint8_t>(NetMessage::Type::Hash);
        return bytes;
    }
    if (kind == "out-of-order") {
        m.type = NetMessage::Type::Hash;
        m.a = 1000000;
        return encodeMessage(m);
    }
    m.type = NetMessage::Type::Hello;
    m.identity = identity;
    m.text = name;
    return encodeMessage(m);
}
}  // namespace

namespace {
// Joins, plays along, sends the one bad packet and reports how the host answered: 0 when it was
// dropped after sending it.
int playHostile(ENetHost* self, ENetAddress address, const std::string& kind, const std::string& name) {
    ENetPeer* host = enet_host_connect(self, &address, 1, 0);
    ENetEvent event;
    if (!host || enet_host_service(self, &event, 5000) <= 0 || event.type != ENET_EVENT_TYPE_CONNECT) {
        std::cout << "hostile: no host" << std::endl;
        return 1;
    }
    const PeerIdentity identity = localIdentity(recordingBuildId());
    NetMessage hello;
    hello.type = NetMessage::Type::Hello;
    hello.identity = identity;
    hello.text = name;
    sendBytes(host, encodeMessage(hello));
    int bundles = 0;
    bool sent = false;
    std::string reason;
    for (int waited = 0; waited < 15000; waited += 5) {
        if (enet_host_service(self, &event, 5) <= 0) continue;
        if (event.type == ENET_EVENT_TYPE_DISCONNECT) {
            std::cout << "hostile: dropped: " << (reason.empty() ? "no reason given" : reason) << std::endl;
            return sent ? 0 : 1;
        }
        if (event.type != ENET_EVENT_TYPE_RECEIVE) continue;
        NetMessage m;
        if (decodeMessage(event.packet->data, event.packet->dataLength, m)) {
            if (m.type == NetMessage::Type::Bundle) ++bundles;
            if (m.type == NetMessage::Type::Refuse) reason = m.text;
        }
        enet_packet_destroy(event.packet);
        // Played along for a while first, so the host has its bundles going to this peer too.
        if (!sent && bundles >= 50) {
            sendBytes(host, badPacket(kind, identity, name));
            enet_host_flush(self);
            sent = true;
        }
    }
    std::cout << "hostile: still connected after its " << kind << " packet" << std::endl;
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    std::string join, kind, name = "hostile";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--join") join = argv[i + 1];
        else if (option == "--kind") kind = argv[i + 1];
        else if (option == "--name") name = argv[i + 1];
    }
    if (join.find(':') == std::string::npos ||
        (kind != "malformed" && kind != "oversized" && kind != "out-of-order" && kind != "twice")) {
        std::cerr << "usage: hostile_peer --join HOST:PORT --kind malformed|oversized|out-of-order|twice "
                     "[--name NAME]" << std::endl;
        return 2;
    }
    if (enet_initialize() != 0) return 1;
    ENetAddress address;
    enet_address_set_host(&address, join.substr(0, join.rfind(':')).c_str());
    address.port = static_cast<uint16_t>(std::atoi(join.c_str() + join.rfind(':') + 1));
    ENetHost* self = enet_host_create(nullptr, 1, 1, 0, 0);
    const int status = self ? playHostile(self, address, kind, name) : 1;
    if (self) enet_host_destroy(self);  // every path ends here, so nothing of ENet's is left behind
    enet_deinitialize();
    return status;
}

