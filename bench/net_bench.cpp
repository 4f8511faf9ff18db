// net_bench: what a shared session costs on the wire and in input delay. A host and one joiner
// (a separate program each) play 500 steps through the tests' UDP relay at 0, 50 and 150 ms
// round trips; the joiner moves its cursor every other step and presses keys now and then.
// Printed beside the floor: the bytes of those commands themselves, per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "game/step_command.h"

namespace fs = std::filesystem;

namespace {
constexpr int kSteps = 500;
constexpr double kStepSeconds = 0.01;

std::string readAll(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The joiner's input script, and the bytes its commands take as commands.
std::string inputScript(size_t* commandBytes) {
    std::ostringstream script;
    std::vector<uint8_t> bytes;
    for (int step = 2; step < kSteps; step += 2) {
        script << step << " move " << 300 + step % 400 << " " << 200 + step % 100 << "\n";
        StepCommand pointer;
        pointer.kind = StepCommand::Kind::Pointer;
        pointer.world = {static_cast<float>(step), 1.5f};
        pointer.pixelSize = 1.0f;
        encodeStepCommand(pointer, bytes);
        if (step % 50 == 0) {
            script << step << " key 32\n" << step + 1 << " keyup 32\n";
            StepCommand key;
            key.kind = StepCommand::Kind::KeyDown;
            key.code = 32;
            encodeStepCommand(key, bytes);
            key.kind = StepCommand::Kind::KeyUp;
            encodeStepCommand(key, bytes);
        }
    }
    *commandBytes = bytes.size();
    return script.str();
}

// "peer NAME: traffic S bytes sent, R received in MS ms; input delay D steps"
struct Traffic {
    double sent = 0, received = 0, ms = 0, delaySteps = 0;
};
Traffic trafficOf(const std::string& out) {
    Traffic t;
    const size_t at = out.find(": traffic ");
    if (at == std::string::npos) return t;
    std::istringstream line(out.substr(at + 10));
    std::string word;
    line >> t.sent >> word >> word >> t.received >> word >> word >> t.ms >> word >> word >> word >> t.delaySteps;
    return t;
}

void sharedSession(benchmark::State& state) {
    const int roundTripMs = static_cast<int>(state.range(0));
    const fs::path dir = fs::temp_directory_path() / ("kelvoran-net-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::copy_file(fs::path(KELVORAN_ASSETS) / "map.txt", dir / "map.txt", fs::copy_options::overwrite_existing);
    size_t commandBytes = 0;
    std::ofstream(dir / "joiner.in") << inputScript(&commandBytes);
    const std::string peer = KELVORAN_PEER, relay = KELVORAN_RELAY;
    const std::string steps = std::to_string(kSteps);
    const std::string shell =
        "cd " + dir.string() + " && (" + relay + " --listen 27991 --to 27990 --delay " +
        std::to_string(roundTripMs / 2) + " > relay.out 2>&1 & r=$!; " + peer +
        " --host 27990 --name host --steps " + steps + " --wait-peers 1 > host.out 2>&1 & h=$!; sleep 0.3; " +
        peer + " --join 127.0.0.1:27991 --name joiner --steps " + steps +
        " --input joiner.in > joiner.out 2>&1; wait $h; kill $r) > /dev/null 2>&1";
    Traffic joiner, host;
    for (auto _ : state) {
        if (std::system(shell.c_str()) != 0) state.SkipWithError("the session did not run");
        joiner = trafficOf(readAll(dir / "joiner.out"));
        host = trafficOf(readAll(dir / "host.out"));
    }
    const double seconds = kSteps * kStepSeconds;
    state.counters["bytes_per_s_per_player"] = (joiner.sent + joiner.received) / seconds;
    state.counters["floor_bytes_per_s"] = static_cast<double>(commandBytes) / seconds;
    state.counters["added_delay_ms"] = host.delaySteps * kStepSeconds * 1000.0 + roundTripMs / 2.0;
    fs::remove_all(dir);
}
}  // namespace

// Each run is one whole session of some five seconds: once is enough.
BENCHMARK(sharedSession)->Arg(0)->Arg(50)->Arg(150)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
