// kelvoran_peer: one player of a shared session without a window, for tests and benchmarks:
// hosts or joins, plays a script of inputs by step, records the session, and once the session
// reaches the last step prints the shared state hash there and where each player's car is.
//   kelvoran_peer (--host PORT | --join HOST:PORT) --name NAME --steps N [--record FILE]
//                 [--input FILE] [--wait-peers K] [--diverge-at STEP]
// Input lines: "<step> key <code>", "<step> keyup <code>", "<step> move <x> <y>",
// "<step> press <button>", "<step> release <button>": made at that step as the window's events.
// --diverge-at drops a car here alone at that step, outside the command stream, as a defect
// would: the next hash check finds the desync, and this peer's recording no longer replays.
// On a desync every peer prints "peer NAME: desync by step S" and ends with its recording.
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "actors/car.h"
#include "game/game.h"
#include "game/host.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "game/state_hash.h"
#include "game/step_commands.h"
#include "net/net_session.h"
#include "script/scripting.h"
#include "session/recording.h"
#include "session/recording_format.h"

namespace {
struct Event {
    int64_t step = 0;
    std::string kind;
    int a = 0, b = 0;
};

int64_t startNs = 0;
int64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}
int32_t realClock() { return static_cast<int32_t>((monotonicNs() - startNs) / 1000000); }
void sleepUntil(int32_t ms) {
    const int32_t now = realClock();
    if (ms > now) usleep(static_cast<useconds_t>(std::min(ms - now, 5) * 1000));
}
bool leave = false;
void openNoWindow(int&, char**) {}

void deliver(const Event& e) {
    if (e.kind == "key") onKeyDown(static_cast<unsigned char>(e.a), 0, 0);
    else if (e.kind == "keyup") onKeyUp(static_cast<unsigned char>(e.a), 0, 0);
    else if (e.kind == "move") onMouseMove(e.a, e.b);
    else if (e.kind == "press") onMouseButton(e.a, 0, 0, 0);
    else if (e.kind == "release") onMouseButton(e.a, 1, 0, 0);
}

int usage() {
    std::cerr << "usage: kelvoran_peer (--host PORT | --join HOST:PORT) --name NAME --steps N "
                 "[--record FILE] [--input FILE] [--wait-peers K] [--diverge-at STEP]" << std::endl;
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    std::string join, name = "peer", record, input;
    int port = kDefaultPort;
    bool hosting = false;
    int64_t steps = 0;
    int waitPeers = 0;
    int64_t divergeAt = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        if (option == "--host") hosting = true, port = std::atoi(value.c_str());
        else if (option == "--join") join = value;
        else if (option == "--name") name = value;
        else if (option == "--steps") steps = std::atoll(value.c_str());
        else if (option == "--record") record = value;
        else if (option == "--input") input = value;
        else if (option == "--wait-peers") waitPeers = std::atoi(value.c_str());
        else if (option == "--diverge-at") divergeAt = std::atoll(value.c_str());
        else return usage();
    }
    if ((!hosting && join.empty()) || steps <= 0) return usage();
    std::vector<Event> events;
    if (!input.empty()) {
        std::ifstream in(input);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            Event e;
            if (fields >> e.step >> e.kind >> e.a) {
                fields >> e.b;
                events.push_back(e);
            }
        }
    }
    startNs = monotonicNs();
    Host peerHost = headlessHost();
    peerHost.clock = realClock;
    peerHost.waitUntil = sleepUntil;
    peerHost.window.leaveMainLoop = [] { leave = true; };
    if (!record.empty()) {
        beginRecording(record, argc, argv);
        peerHost.clock = [] { return recordReading(realClock()); };
        peerHost.readMap = readAndRecordMap;
        peerHost.readScript = readAndRecordScript;
    }
    installHost(peerHost);
    setInputTiming(InputTiming::NextStep);
    std::string problem;
    const PeerIdentity identity = localIdentity(recordingBuildId());
    if (hosting) {
        if (!startHosting(static_cast<uint16_t>(port), name, identity, &problem)) {
            std::cerr << "kelvoran_peer: " << problem << std::endl;
            return 1;
        }
        // The session starts once every expected joiner is in, so the test's inputs meet them all.
        while (connectedPeers() < waitPeers && realClock() < 20000) {
            serviceNetwork();
            usleep(2000);
        }
    }
    installScripting();
    int gameArgc = 1;
    startGame(gameArgc, argv, false, openNoWindow);
    recordStartupDone();
    recordedReshape(1024, 600);  // the window system's first reshape, as the game's window records it
    if (!hosting) {
        const size_t colon = join.rfind(':');
        const std::string address = join.substr(0, colon);
        const int joinPort = colon == std::string::npos ? kDefaultPort : std::atoi(join.c_str() + colon + 1);
        if (!startJoining(address, static_cast<uint16_t>(joinPort), name, identity, &problem)) {
            std::cerr << "kelvoran_peer: " << problem << std::endl;
            return 1;
        }
    }
    size_t next = 0;
    while (!leave && currentStep() < steps && desyncStep() == 0) {
        while (next < events.size() && events[next].step <= currentStep() + 1) deliver(events[next++]);
        if (divergeAt != 0 && currentStep() >= divergeAt) {
            StepCommand crate;
            crate.kind = StepCommand::Kind::KeyDown;
            crate.code = '1';
            applyStepCommand(crate);
            divergeAt = 0;
        }
        recordedPass();
        if (sessionState() == SessionState::Refused || sessionState() == SessionState::Over) break;
    }
    if (desyncStep() != 0) {
        std::cout << "peer " << name << ": desync by step " << desyncStep() << std::endl;
        while (hosting && connectedPeers() > 0 && realClock() < 60000) {
            serviceNetwork();
            usleep(2000);
        }
        stopNetwork();
        endRecording();
        shutdownGame(false);
        return 3;
    }
    if (sessionState() == SessionState::Refused) {
        std::cerr << "kelvoran_peer: " << sessionEnd() << std::endl;
        stopNetwork();
        return 1;
    }
    std::cout << "peer " << name << ": traffic " << bytesSent() << " bytes sent, " << bytesReceived()
              << " received in " << realClock() << " ms; input delay " << inputDelaySteps() << " steps"
              << std::endl;
    std::cout << "peer " << name << ": step " << currentStep() << " shared "
              << formatHash(sharedStateHash()) << std::endl;
    // Where each player's car is, so a test sees that each drove their own.
    for (const auto& actor : allActors())
        if (dynamic_cast<const Car*>(actor.get()))
            std::cout << "peer " << name << ": car of player " << int{actor->player} << " at "
                      << actor->x << " " << actor->y << std::endl;
    // The host stays until its joiners have what they need and leave.
    while (hosting && connectedPeers() > 0 && realClock() < 60000) {
        serviceNetwork();
        usleep(2000);
    }
    stopNetwork();
    endRecording();
    shutdownGame(false);
    return currentStep() >= steps || hosting ? 0 : 1;
}
