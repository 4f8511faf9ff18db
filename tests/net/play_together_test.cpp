// play_together_test.cpp: shared sessions under what real networks and real players do: a link
// that delays, reorders and drops datagrams (the relay), a player joining late, one killed
// outright, hostile peers; and the game's own --join refused in one line.
#include <gtest/gtest.h>

#include "net/peer_runs.h"

using namespace peer_runs;

namespace {
void copyMap(const fs::path& dir) { fs::copy_file(fs::path(KELVORAN_ASSETS) / "map.txt", dir / "map.txt"); }

// Crates at the cursor, a car, bursts and a drag: enough to make any wrong step show in the hash.
const char* const kAnnInput = "5 move 600 200\n10 key 49\n12 keyup 49\n20 key 32\n250 keyup 32\n";
const char* const kBobInput = "3 move 700 300\n40 press 2\n60 move 710 250\n90 release 2\n100 key 32\n300 keyup 32\n";
const char* const kCyInput = "8 move 400 250\n30 key 32\n200 keyup 32\n250 key 122\n";

int countLines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}
}  // namespace

TEST(PlayTogether, PeersBehindARelayThatDelaysReordersAndDropsEndAtOneHash) {
    SessionRun run;
    run.dir = fs::current_path();
    copyMap(run.dir);
    run.hostPort = 27971;
    run.steps = 500;
    run.waitFor = 2;
    // 50 ms round trips with up to 30 ms of jitter each way (datagrams overtake each other),
    // 5% of datagrams lost each way.
    run.background = {"relay|0|" + std::string(KELVORAN_RELAY) +
                      " --listen 27972 --to 27971 --delay 25 --jitter 30 --loss 5 --seed 3"};
    run.joiners = {{"ann", kAnnInput, 27972}, {"bob", kBobInput, 27972}};
    play(run);
    const std::string hash = printedHash(run.dir / "host.out");
    ASSERT_EQ(hash.size(), 16u) << readAll(run.dir / "host.out");
    EXPECT_EQ(printedHash(run.dir / "ann.out"), hash) << readAll(run.dir / "ann.out");
    EXPECT_EQ(printedHash(run.dir / "bob.out"), hash) << readAll(run.dir / "bob.out");
    EXPECT_EQ(replayedHash(run.dir, "bob.krec"), hash);
    EXPECT_NE(readAll(run.dir / "relay.out").find("5% lost"), std::string::npos);
}

TEST(PlayTogether, APlayerJoiningInProgressPlaysTheSessionSoFarAndEndsAtTheSameHash) {
    SessionRun run;
    run.dir = fs::current_path();
    copyMap(run.dir);
    run.hostPort = 27973;
    run.steps = 500;
    run.waitFor = 1;
    // cy comes some 200 steps in; its inputs are for the steps still to come.
    run.joiners = {{"ann", kAnnInput, 27973}, {"cy", "300 move 500 220\n320 key 49\n330 keyup 49\n", 27973, 2.3}};
    play(run);
    const std::string hash = printedHash(run.dir / "host.out");
    ASSERT_EQ(hash.size(), 16u) << readAll(run.dir / "host.out");
    EXPECT_EQ(printedHash(run.dir / "ann.out"), hash);
    EXPECT_EQ(printedHash(run.dir / "cy.out"), hash) << readAll(run.dir / "cy.out");
    EXPECT_NE(readAll(run.dir / "host.out").find("cy joined"), std::string::npos);
    EXPECT_EQ(replayedHash(run.dir, "cy.krec"), hash);
}

TEST(PlayTogether, APlayerKilledMidSessionLeavesAndTheOthersPlayOn) {
    SessionRun run;
    run.dir = fs::current_path();
    copyMap(run.dir);
    run.hostPort = 27975;
    run.steps = 500;
    run.waitFor = 2;
    run.joiners = {{"ann", kAnnInput, 27975}, {"cy", kCyInput, 27975, 0.3, 1.5}};
    play(run);
    const std::string hash = printedHash(run.dir / "host.out");
    ASSERT_EQ(hash.size(), 16u) << readAll(run.dir / "host.out");
    EXPECT_EQ(printedHash(run.dir / "ann.out"), hash);
    EXPECT_EQ(printedHash(run.dir / "cy.out"), "");  // killed before the end
    EXPECT_NE(readAll(run.dir / "host.out").find("cy left"), std::string::npos) << readAll(run.dir / "host.out");
}

TEST(PlayTogether, HostilePeersAreDroppedWithTheirReasonAndTheOthersPlayOn) {
    SessionRun run;
    run.dir = fs::current_path();
    copyMap(run.dir);
    run.hostPort = 27977;
    run.steps = 500;
    run.waitFor = 1;
    const std::string hostile = std::string(KELVORAN_HOSTILE) + " --join 127.0.0.1:27977 --kind ";
    const std::vector<std::pair<std::string, std::string>> kinds = {
        {"malformed", "it sent a malformed packet"},
        {"oversized", "it sent an oversized packet (65536 bytes)"},
        {"out-of-order", "it sent a hash out of order (step 1000000)"},
        {"twice", "it said hello twice"},
    };
    for (const auto& [kind, reason] : kinds)
        run.background.push_back(kind + "|0.8|" + hostile + kind + " --name " + kind);
    run.joiners = {{"ann", kAnnInput, 27977}};
    play(run);
    const std::string hash = printedHash(run.dir / "host.out");
    ASSERT_EQ(hash.size(), 16u) << readAll(run.dir / "host.out");
    EXPECT_EQ(printedHash(run.dir / "ann.out"), hash);
    for (const auto& [kind, reason] : kinds) {
        const std::string line = kind + " was dropped: " + reason;
        EXPECT_NE(readAll(run.dir / "host.out").find(line + "\n"), std::string::npos) << line;
        EXPECT_EQ(readAll(run.dir / (kind + ".out")), "hostile: dropped: " + line + "\n");
        EXPECT_NE(readAll(run.dir / "ann.out").find(line + "\n"), std::string::npos) << line;
    }
    EXPECT_EQ(replayedHash(run.dir, "ann.krec"), hash);
}

TEST(PlayTogether, ADesyncStopsEveryPeerAtTheFirstCheckThatDiffersAndTheRecordingsTellTheDefect) {
    SessionRun run;
    run.dir = fs::current_path();
    copyMap(run.dir);
    run.hostPort = 27981;
    run.steps = 500;
    run.waitFor = 2;
    // bob's game drops a car the others never see at step 150: found at the check of step 200.
    run.joiners = {{"ann", kAnnInput, 27981}, {"bob", kBobInput, 27981, 0.3, 0.0, "--diverge-at 150"}};
    play(run);
    for (const std::string name : {"host", "ann", "bob"})
        EXPECT_NE(readAll(run.dir / (name + ".out")).find("peer " + name + ": desync by step 200\n"), std::string::npos)
            << readAll(run.dir / (name + ".out"));
    // The honest recordings replay to their own hashes; bob's, which misses what its game did,
    // does not: a defect, not a machine difference.
    replayedHash(run.dir, "host.krec");
    replayedHash(run.dir, "ann.krec");
    replayedHash(run.dir, "bob.krec", ReplayResult::Outcome::Diverged);
}

// The game itself, no window needed: a join is settled before the window opens.
TEST(PlayTogether, TheGamesJoinIsRefusedInOneLineWhenItsMapDiffers) {
    SessionRun run;
    run.dir = fs::current_path();
    fs::create_directories(run.dir / "other");
    copyMap(run.dir);
    copyMap(run.dir / "other");
    std::ofstream(run.dir / "other" / "map.txt", std::ios::app) << "\n";
    run.hostPort = 27979;
    run.steps = 300;
    run.background = {"game|0.3|sh -c 'cd other && exec " + std::string(KELVORAN_GAME) +
                      " --join 127.0.0.1:27979 --name dee 2>game.err'"};
    play(run);
    const std::string refused = readAll(run.dir / "other" / "game.err");
    EXPECT_EQ(countLines(refused), 1) << refused;
    EXPECT_EQ(refused, "kelvoran: join refused: this build differs: map.txt differs from the host's\n");
    EXPECT_EQ(readAll(run.dir / "game.out"), "kelvoran: joining 127.0.0.1:27979 as dee\n");
}
