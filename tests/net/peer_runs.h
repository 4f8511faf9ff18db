// peer_runs.h: shared sessions of separate programs for the tests: a host, joiners (each with its
// own inputs, some late, some killed), relays and hostile peers, started by one shell and waited
// for; and what they printed and recorded.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game/state_hash.h"
#include "session/recording_format.h"
#include "session/session_replay.h"

namespace peer_runs {
namespace fs = std::filesystem;

inline std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The hash a peer printed as it reached the last step; empty when it printed none.
inline std::string printedHash(const fs::path& out) {
    std::istringstream lines(readAll(out));
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("peer ", 0) == 0 && line.find(" shared ") != std::string::npos)
            return line.substr(line.rfind(' ') + 1);
    return "";
}

struct Joiner {
    std::string name;
    std::string input;       // its input script ("<step> key 32" lines)
    int port = 0;            // where it joins: the host's or a relay's
    double startAfter = 0.3;  // seconds after the host started
    double killAfter = 0.0;   // > 0: killed outright this long after it started
    std::string options = "";  // more of kelvoran_peer's options
};

struct SessionRun {
    fs::path dir;
    int hostPort = 0;
    int steps = 0;
    int waitFor = 0;                     // joiners the host waits for before its first step
    std::vector<Joiner> joiners;
    std::vector<std::string> background;  // relays, hostile peers: "NAME|SECONDS|COMMAND"
};

// Starts everything in run.dir and returns once the host and the joiners are done; the background
// programs are stopped then. Outputs land in NAME.out, recordings in NAME.krec.
inline void play(const SessionRun& run) {
    const std::string peer = KELVORAN_PEER;
    std::string shell = "cd " + run.dir.string() + " && (";
    std::string waitFor = " wait $h";
    std::string stop;
    for (size_t i = 0; i < run.background.size(); ++i) {
        const std::string& line = run.background[i];
        const size_t a = line.find('|'), b = line.find('|', a + 1);
        const std::string var = "b" + std::to_string(i);
        shell += " (sleep " + line.substr(a + 1, b - a - 1) + "; exec " + line.substr(b + 1) + ") > " +
                 line.substr(0, a) + ".out 2>&1 & " + var + "=$!;";
        stop += " kill $" + var + " 2>/dev/null;";
    }
    shell += " " + peer + " --host " + std::to_string(run.hostPort) + " --name host --steps " +
             std::to_string(run.steps) + " --record host.krec --wait-peers " + std::to_string(run.waitFor) +
             " > host.out 2>&1 & h=$!;";
    for (size_t i = 0; i < run.joiners.size(); ++i) {
        const Joiner& j = run.joiners[i];
        const std::string var = "j" + std::to_string(i);
        std::ofstream(run.dir / (j.name + ".in")) << j.input;
        shell += " (sleep " + std::to_string(j.startAfter) + "; exec " + peer + " --join 127.0.0.1:" +
                 std::to_string(j.port) + " --name " + j.name + " --steps " + std::to_string(run.steps) +
                 " --record " + j.name + ".krec --input " + j.name + ".in " + j.options + ") > " + j.name + ".out 2>&1 & " +
                 var + "=$!;";
        if (j.killAfter > 0.0)
            shell += " (sleep " + std::to_string(j.startAfter + j.killAfter) + "; kill -9 $" + var + ") &";
        waitFor += " $" + var;
    }
    shell += waitFor + ";" + stop + " wait) >/dev/null 2>&1";
    std::system(shell.c_str());
}

// The shared hash a replay of the recording ends at, or empty with the failure on the test.
inline std::string replayedHash(const fs::path& dir, const std::string& file,
                                ReplayResult::Outcome expected = ReplayResult::Outcome::Matches) {
    const std::string bytes = readAll(dir / file);
    const Recording recording = decodeRecording(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(recording.problem, Recording::Problem::None) << file << ": " << recording.problemText;
    if (recording.problem != Recording::Problem::None) return "";
    const fs::path folder = dir / ("replay-" + file);
    fs::create_directories(folder);
    ReplaySettings settings;
    settings.folder = folder.string();
    const ReplayResult result = playRecording(recording, settings);
    fs::current_path(dir);
    EXPECT_EQ(result.outcome, expected) << file;
    return formatHash(result.sharedHash);
}
}  // namespace peer_runs
