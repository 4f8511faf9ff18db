// Start-up figures of the real game, timed from outside from exec, each beside its floor from the
// same run: the game (kelvoran --level DIR beside this program) to its "End of loading" line
// with 1,000,000 quads, against a program that only reads the same file and makes the same Box2D
// fixtures (this program again, run as "load_bench --floor FILE"); the resident bytes a quad at
// that line, the game's above its own with an empty map; and the first frame with 100,000 quads
// against the first frame with the starter map plus the floor's load of the 100,000. Runs under
// xvfb-run (the game opens a window). Rounds alternate the programs; the counters hold the min
// and median of each, and for the load also of the CPU time each had used by its line.
#include <benchmark/benchmark.h>
#include <box2d/box2d.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/units.h"
#include "map/map_codec.h"
#include "physics/static_shapes.h"

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kEndOfLoading = "End of loading\n";

// The floor: reads the file whole, and makes each record's polygon a fixture of capped static
// bodies, as the game's map does; then says so and waits to be measured and ended.
int floorLoad(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    b2World world(b2Vec2(0.0f, 55.0f));
    {
        b2BodyDef def;
        b2Body* body = nullptr;
        int32_t onBody = kFixturesPerStaticBody;
        float count = 0.0f;
        if (bytes.size() >= 4) std::memcpy(&count, bytes.data(), 4);
        size_t at = 4;
        for (int64_t i = 0; static_cast<double>(count) > static_cast<double>(i) && bytes.size() - at >= 33; ++i) {
            float corners[8];
            std::memcpy(corners, bytes.data() + at, sizeof corners);
            at += 33;
            if (onBody == kFixturesPerStaticBody) {
                body = world.CreateBody(&def);
                onBody = 0;
            }
            b2Vec2 points[4];
            for (int k = 0; k < 4; ++k) points[k].Set(toMetres(corners[2 * k]), toMetres(corners[2 * k + 1]));
            b2PolygonShape shape;
            shape.Set(points, 4);
            body->CreateFixture(&shape, 0.0f);
            ++onBody;
        }
    }
    std::fputs(kEndOfLoading, stdout);
    std::fflush(stdout);
    pause();
    return 0;
}

// The records of the scale benchmark's maps: a 20 x 15 block of 40-unit squares in view, the
// rest in a wide grid far to the right.
std::vector<uint8_t> mapBytes(int count) {
    std::vector<QuadRecord> records(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        float left, top;
        if (i < 300) {
            left = -480.0f + 48.0f * static_cast<float>(i % 20);
            top = -360.0f + 48.0f * static_cast<float>(i / 20);
        } else {
            const int j = i - 300;
            left = 2000.0f + 48.0f * static_cast<float>(j % 300);
            top = -7000.0f + 48.0f * static_cast<float>(j / 300);
        }
        const float corners[8] = {left, top, left + 40.0f, top, left + 40.0f, top + 40.0f, left, top + 40.0f};
        std::copy(corners, corners + 8, records[static_cast<size_t>(i)].corners);
    }
    return encodeMap(records);
}

// A level folder holding only map.txt; removed with its contents.
struct LevelFolder {
    explicit LevelFolder(const std::vector<uint8_t>& map) {
        char pattern[] = "/tmp/kelvoran-load-bench-XXXXXX";
        path = mkdtemp(pattern);
        std::ofstream(path / "map.txt", std::ios::binary)
            .write(reinterpret_cast<const char*>(map.data()), static_cast<std::streamsize>(map.size()));
    }
    ~LevelFolder() { fs::remove_all(path); }
    LevelFolder(const LevelFolder&) = delete;
    LevelFolder& operator=(const LevelFolder&) = delete;
    fs::path path;
};

std::string besideThisProgram(const char* name) {
    return (fs::read_symlink("/proc/self/exe").parent_path() / name).string();
}

long residentBytes(pid_t pid) {
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// The CPU time the process has used (user and system, all its threads), in milliseconds.
double cpuMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');  // the name may hold spaces
    if (close == std::string::npos) return 0.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0.0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) ticks += std::stod(field);  // utime, stime
    }
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Run {
    double loadedMs = -1.0;  // exec to the "End of loading" line
    double loadedCpuMs = 0.0;  // the CPU time it had used by then: the figure to read on a busy machine
    double frameMs = -1.0;   // exec to the first frame, when asked for
    double frameCpuMs = 0.0;
    long resident = 0;       // bytes, as the line came
};

// Runs argv with its standard output read here, until the line and, with stats, until the game
// tells its first frame in that file; then ends it.
Run timeRun(const std::vector<std::string>& argv, const std::string& stats, const std::string& dataHome) {
    int out[2];
    if (pipe(out) != 0) return {};
    fcntl(out[0], F_SETPIPE_SZ, 1 << 20);
    if (!stats.empty()) std::ofstream(stats, std::ios::trunc);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        if (!stats.empty()) setenv("KELVORAN_LOOP_STATS", stats.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    Run run;
    std::vector<char> buffer(1 << 20);
    std::string tail;
    const size_t keep = std::strlen(kEndOfLoading);
    while (run.loadedMs < 0.0) {
        const ssize_t got = read(out[0], buffer.data(), buffer.size());
        if (got <= 0) break;
        tail.append(buffer.data(), static_cast<size_t>(got));
        if (tail.find(kEndOfLoading) != std::string::npos) {
            run.loadedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            run.resident = residentBytes(pid);
            run.loadedCpuMs = cpuMs(pid);
        } else if (tail.size() > keep) {
            tail.erase(0, tail.size() - keep);
        }
    }
    // The game writes on after the line; what it writes is drained and dropped.
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    while (!stats.empty() && run.loadedMs >= 0.0 && run.frameMs < 0.0) {
        while (read(out[0], buffer.data(), buffer.size()) > 0) {
        }
        std::ifstream in(stats);
        std::string line;
        while (std::getline(in, line)) {
            if (line != "first frame") continue;
            run.frameMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            run.frameCpuMs = cpuMs(pid);
        }
        if (std::chrono::duration<double>(Clock::now() - start).count() > 120.0) break;
        usleep(200);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(out[0]);
    return run;
}

struct Figures {
    std::vector<double> values;
    double min() const { return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end()); }
    double median() {
        if (values.empty()) return 0.0;
        std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
        return values[values.size() / 2];
    }
};

void report(benchmark::State& state, const std::string& name, Figures& figures) {
    state.counters[name + "_min_ms"] = figures.min();
    state.counters[name + "_median_ms"] = figures.median();
}

constexpr int kRounds = 3;

// exec to "End of loading": the game with 1,000,000 quads and the floor, in turn.
void BM_MillionQuadLoad(benchmark::State& state) {
    const int quads = static_cast<int>(state.range(0));
    const LevelFolder level(mapBytes(quads));
    const LevelFolder empty(mapBytes(0));
    const LevelFolder data({});
    const std::string game = besideThisProgram("kelvoran");
    const std::string map = (level.path / "map.txt").string();
    Figures gameMs, floorMs, gameCpuMs, floorCpuMs;
    double gamePerQuad = 0.0, floorPerQuad = 0.0;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            const Run baseline = timeRun({game, "--level", empty.path.string()}, "", data.path.string());
            const Run loaded = timeRun({game, "--level", level.path.string()}, "", data.path.string());
            const Run bare = timeRun({besideThisProgram("load_bench"), "--floor", (empty.path / "map.txt").string()}, "", data.path.string());
            const Run floor = timeRun({besideThisProgram("load_bench"), "--floor", map}, "", data.path.string());
            if (loaded.loadedMs < 0.0 || floor.loadedMs < 0.0 || baseline.loadedMs < 0.0) {
                state.SkipWithError("a program did not reach \"End of loading\"");
                return;
            }
            gameMs.values.push_back(loaded.loadedMs);
            floorMs.values.push_back(floor.loadedMs);
            gameCpuMs.values.push_back(loaded.loadedCpuMs);
            floorCpuMs.values.push_back(floor.loadedCpuMs);
            gamePerQuad = static_cast<double>(loaded.resident - baseline.resident) / quads;
            floorPerQuad = static_cast<double>(floor.resident - bare.resident) / quads;
        }
    }
    report(state, "game", gameMs);
    report(state, "floor", floorMs);
    state.counters["ratio"] = gameMs.median() / floorMs.median();
    report(state, "game_cpu", gameCpuMs);
    report(state, "floor_cpu", floorCpuMs);
    state.counters["cpu_ratio"] = gameCpuMs.median() / floorCpuMs.median();
    state.counters["game_bytes_per_quad"] = gamePerQuad;
    state.counters["floor_bytes_per_quad"] = floorPerQuad;
    state.SetLabel("exec to End of loading, " + std::to_string(quads) + " quads");
}
BENCHMARK(BM_MillionQuadLoad)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// exec to the first frame with 100,000 quads, against the starter map's first frame plus the
// floor's load of the 100,000.
void BM_FirstFrame(benchmark::State& state) {
    const int quads = static_cast<int>(state.range(0));
    const LevelFolder level(mapBytes(quads));
    std::ifstream starterFile(std::string(KELVORAN_ASSETS) + "/map.txt", std::ios::binary);
    const std::vector<uint8_t> starterBytes((std::istreambuf_iterator<char>(starterFile)), std::istreambuf_iterator<char>());
    const LevelFolder starter(starterBytes);
    const LevelFolder data({});
    const std::string game = besideThisProgram("kelvoran");
    const std::string stats = (data.path / "loop-stats.txt").string();
    Figures bigMs, starterMs, floorMs, boundMs, bigCpuMs, boundCpuMs;
    for (auto _ : state) {
        for (int round = 0; round < 5; ++round) {
            const Run big = timeRun({game, "--level", level.path.string()}, stats, data.path.string());
            const Run small = timeRun({game, "--level", starter.path.string()}, stats, data.path.string());
            const Run floor = timeRun({besideThisProgram("load_bench"), "--floor", (level.path / "map.txt").string()}, "", data.path.string());
            if (big.frameMs < 0.0 || small.frameMs < 0.0 || floor.loadedMs < 0.0) {
                state.SkipWithError("a program did not reach its first frame or \"End of loading\"");
                return;
            }
            bigMs.values.push_back(big.frameMs);
            starterMs.values.push_back(small.frameMs);
            floorMs.values.push_back(floor.loadedMs);
            boundMs.values.push_back(small.frameMs + floor.loadedMs);
            bigCpuMs.values.push_back(big.frameCpuMs);
            boundCpuMs.values.push_back(small.frameCpuMs + floor.loadedCpuMs);
        }
    }
    report(state, "game", bigMs);
    report(state, "starter", starterMs);
    report(state, "floor_load", floorMs);
    report(state, "starter_plus_floor", boundMs);
    state.counters["ratio"] = bigMs.median() / boundMs.median();
    report(state, "game_cpu", bigCpuMs);
    report(state, "starter_plus_floor_cpu", boundCpuMs);
    state.counters["cpu_ratio"] = bigCpuMs.median() / boundCpuMs.median();
    state.SetLabel("exec to first frame, " + std::to_string(quads) + " quads");
}
BENCHMARK(BM_FirstFrame)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--floor") == 0) return floorLoad(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
