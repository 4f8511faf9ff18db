// net_session.h: a shared session over ENet. The host numbers every player's commands into one
// bundle per step (commands made at its step h go to step h + D, D following the round trips);
// every peer runs step s only with bundle s in hand, so all apply the same commands at the same
// steps. Joiners get the bundles so far and play them at the loop's catch-up speed. Every 100
// steps each peer sends its shared state hash and the host stops the game at a difference.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "net/net_protocol.h"

// The identity of this program with the map and script it plays (read from the working folder).
PeerIdentity localIdentity(const std::string& build);

// Opens the session. The host plays at once as player 0; a joiner waits for the host's answer
// (serviceNetwork) and runs no step before its first bundle. False with the reason in problem
// when ENet or the address cannot be used.
bool startHosting(uint16_t port, const std::string& name, const PeerIdentity& identity,
                  std::string* problem);
bool startJoining(const std::string& host, uint16_t port, const std::string& name,
                  const PeerIdentity& identity, std::string* problem);
// Sends and receives what is waiting, without blocking (the steps also do this themselves).
void serviceNetwork();
// Leaves: the others are told, what is queued is flushed, the game's hooks are taken back.
void stopNetwork();

enum class SessionState { Off, Joining, Playing, Refused, Over };
SessionState sessionState();
// Why the session ended or was refused, one line; empty while it plays.
std::string sessionEnd();
int connectedPeers();  // the host's: joiners playing now
int32_t inputDelaySteps();  // the host's D
uint64_t bytesSent();      // ENet's count of everything sent, headers included
uint64_t bytesReceived();
// The step a desync was found at (0: none found).
int64_t desyncStep();

struct PlayerListing {
    uint8_t player = 0;
    std::string name;
    uint32_t pingMs = 0;
};
std::vector<PlayerListing> sessionPlayers();  // for the Tab list

// Told when a desync stops the game: the program writes its recording and says where.
using DesyncHandler = void (*)(int64_t step);
void setDesyncHandler(DesyncHandler handler);
