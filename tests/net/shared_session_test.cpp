// shared_session_test.cpp: a host and joiners as separate programs on the loopback address,
// each playing its own inputs; every peer must end at the same shared state hash as a replay of
// any one of their recordings; and the packet decoder over many random and mutated packets.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "game/state_hash.h"
#include "net/net_protocol.h"
#include "net/peer_runs.h"
#include "session/recording_format.h"
#include "session/session_replay.h"

namespace fs = std::filesystem;
using peer_runs::printedHash;
using peer_runs::readAll;

namespace {
struct PrintedCar {
    int player = 0;
    float x = 0.0f, y = 0.0f;
};

// The cars a peer printed at the end, in the order they were made.
std::vector<PrintedCar> printedCars(const fs::path& out) {
    std::vector<PrintedCar> cars;
    std::istringstream lines(readAll(out));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t at = line.find(": car of player ");
        if (at == std::string::npos) continue;
        std::istringstream fields(line.substr(at + 16));
        PrintedCar car;
        std::string word;
        fields >> car.player >> word >> car.x >> car.y;
        cars.push_back(car);
    }
    return cars;
}

struct Peers {
    fs::path dir;
    std::vector<std::string> names;
};

// Runs a host and joiners (each with its own input script) to steps and waits for all of them.
void playTogether(const Peers& peers, const std::vector<std::string>& inputs, int port, int steps) {
    const std::string peer = KELVORAN_PEER;
    std::string command = "cd " + peers.dir.string() + " && (";
    command += peer + " --host " + std::to_string(port) + " --name " + peers.names[0] + " --steps " +
               std::to_string(steps) + " --record host.krec --wait-peers " +
               std::to_string(inputs.size()) + " > " + peers.names[0] + ".out 2>&1 &";
    command += " sleep 0.3;";
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string& name = peers.names[i + 1];
        std::ofstream(peers.dir / (name + ".in")) << inputs[i];
        command += " " + peer + " --join 127.0.0.1:" + std::to_string(port) + " --name " + name +
                   " --steps " + std::to_string(steps) + " --record " + name + ".krec --input " +
                   name + ".in > " + name + ".out 2>&1 &";
    }
    command += " wait)";
    ASSERT_EQ(std::system(command.c_str()), 0);
}
}  // namespace

TEST(SharedSession, EveryPeerEndsAtTheHashOfAReplayOfAnyOneRecording) {
    Peers peers;
    peers.dir = fs::current_path();
    fs::copy_file(fs::path(KELVORAN_ASSETS) / "map.txt", peers.dir / "map.txt");
    peers.names = {"host", "ann", "bob", "cy"};
    // Crates at each joiner's cursor, bursts, a square added at the mouse, drags; ann and bob
    // each drop a car and hold w and s at the same time, each driving their own.
    const std::vector<std::string> inputs = {
        "5 move 600 200\n10 key 49\n12 keyup 49\n20 key 32\n300 keyup 32\n150 key 119\n650 keyup 119\n",
        "8 move 400 250\n30 key 32\n200 keyup 32\n250 key 122\n260 move 500 100\n270 key 110\n"
        "100 key 49\n101 keyup 49\n150 key 115\n600 keyup 115\n",
        "3 move 700 300\n40 press 2\n60 move 710 250\n90 release 2\n100 key 32\n400 keyup 32\n",
    };
    playTogether(peers, inputs, 27961, 700);
    const std::string hash = printedHash(peers.dir / "host.out");
    ASSERT_EQ(hash.size(), 16u) << readAll(peers.dir / "host.out");
    for (const std::string& name : peers.names)
        EXPECT_EQ(printedHash(peers.dir / (name + ".out")), hash) << name;
    // Two cars, one each: ann's went forward on her w while bob's backed away on his s. With one
    // keyboard for all, both would have gone forward (w wins over s).
    const std::vector<PrintedCar> cars = printedCars(peers.dir / "host.out");
    ASSERT_EQ(cars.size(), 2u) << readAll(peers.dir / "host.out");
    EXPECT_NE(cars[0].player, cars[1].player);
    EXPECT_GT(cars[0].player * cars[1].player, 0);  // both joiners', none the host's
    EXPECT_GT(cars[0].x - cars[1].x, 100.0f);
    // Each recording alone: the host's (paced by its clock) and a joiner's (paced by bundles).
    for (const std::string file : {"host.krec", "bob.krec"}) {
        const std::string bytes = readAll(peers.dir / file);
        const Recording recording =
            decodeRecording(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ASSERT_EQ(recording.problem, Recording::Problem::None) << recording.problemText;
        const fs::path folder = peers.dir / ("replay-" + std::string(file));
        fs::create_directories(folder);
        ReplaySettings settings;
        settings.folder = folder.string();
        const ReplayResult result = playRecording(recording, settings);
        fs::current_path(peers.dir);
        EXPECT_EQ(result.outcome, ReplayResult::Outcome::Matches) << file;
        EXPECT_EQ(formatHash(result.sharedHash), hash) << file;
    }
}

// Random bytes, and valid messages with one byte changed or cut short, either decode to a message
// that encodes to what decodes to itself again, or are refused; never anything else.
TEST(NetProtocol, PacketsDecodeToThemselvesOrAreRefused) {
    std::mt19937 random(7);
    NetMessage bundle;
    bundle.type = NetMessage::Type::Bundle;
    bundle.a = 42;
    StepCommand pointer;
    pointer.kind = StepCommand::Kind::Pointer;
    pointer.world = {1.5f, -3.25f};
    pointer.player = 2;
    bundle.commands = {pointer, StepCommand()};
    const std::vector<uint8_t> good = encodeMessage(bundle);
    NetMessage back;
    ASSERT_TRUE(decodeMessage(good.data(), good.size(), back));
    ASSERT_EQ(back.commands, bundle.commands);
    int refused = 0;
    for (int i = 0; i < 20000; ++i) {
        std::vector<uint8_t> bytes = good;
        if (i % 3 == 0) {
            bytes.resize(random() % 40);
            for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
        } else if (i % 3 == 1) {
            bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        } else {
            bytes.resize(random() % bytes.size());
        }
        NetMessage m;
        if (!decodeMessage(bytes.data(), bytes.size(), m)) {
            ++refused;
            continue;
        }
        const std::vector<uint8_t> again = encodeMessage(m);
        NetMessage second;
        ASSERT_TRUE(decodeMessage(again.data(), again.size(), second));
        ASSERT_EQ(encodeMessage(second), again);
    }
    EXPECT_GT(refused, 0);
}

TEST(NetProtocol, AJoinIsRefusedForTheFirstFieldThatDiffers) {
    PeerIdentity host;
    host.game = "kelvoran 0.1", host.build = "b", host.libraries = "l", host.mapHash = 5;
    PeerIdentity joiner = host;
    EXPECT_EQ(identityMismatch(joiner, host), "");
    joiner.mapHash = 6;
    EXPECT_EQ(identityMismatch(joiner, host), "map.txt differs from the host's");
    joiner.build = "c";
    EXPECT_EQ(identityMismatch(joiner, host), "build c, the host's is b");
}
