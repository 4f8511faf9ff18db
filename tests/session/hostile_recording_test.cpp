// Recordings made to hurt: each one is generated here (small files standing for what a stranger
// could send) and must be refused or played within its limits, without writing outside the
// replay's folder or printing a control character.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "session/recording_format.h"
#include "support/hostile_scripts.h"
#include "session/recording_limits.h"
#include "core/terminal_text.h"

namespace fs = std::filesystem;

namespace {
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> starterMap() {
    const std::string bytes = readFile(fs::path(KELVORAN_ASSETS) / "map.txt");
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

Entry entry(Entry::Tag tag, int64_t a, std::vector<int32_t> readings = {}) {
    Entry e;
    e.tag = tag;
    e.a = a;
    e.readings = std::move(readings);
    return e;
}

// A recording put together record by record, as the recorder wrote one before step commands:
// the window's callbacks are the game's input.
class Maker {
public:
    explicit Maker(const std::vector<std::string>& arguments = {"kelvoran"},
                   const std::string& buildId = recordingBuildId())
        : bytes_(encodeHeader(buildId, 1)) {
        appendRecord(bytes_, RecordType::Arguments, encodeArguments(arguments));
    }
    Maker& map(MapLoadKind kind, const std::vector<uint8_t>& bytes = {}) {
        appendRecord(bytes_, RecordType::MapLoad, encodeMapLoad(kind, bytes));
        return *this;
    }
    Maker& entries(const std::vector<Entry>& list) {
        std::vector<uint8_t> payload;
        for (const Entry& e : list) encoder_.add(e, payload);
        appendRecord(bytes_, RecordType::Entries, payload);
        return *this;
    }
    // count passes of one step each, 10 ms apart (the first step is due 20 ms after start-up).
    Maker& steps(int count, int32_t& clock) {
        std::vector<Entry> list;
        for (int i = 0; i < count; ++i) list.push_back(entry(Entry::Tag::Pass, 1, {clock += 10}));
        return entries(list);
    }
    // The bytes of map.lua as the game's read number `read` found them.
    Maker& script(const std::string& text, uint32_t read = 0) {
        appendRecord(bytes_, RecordType::ScriptRead,
                     encodeScriptRead({read, true, std::vector<uint8_t>(text.begin(), text.end())}));
        return *this;
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    void write(const fs::path& path) const {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    }

private:
    std::vector<uint8_t> bytes_;
    EntryEncoder encoder_{1};
};

Maker started(const std::vector<std::string>& arguments = {"kelvoran"}) {
    Maker maker(arguments);
    maker.map(MapLoadKind::Bytes, starterMap()).entries({entry(Entry::Tag::Startup, 0, {0})});
    return maker;
}

struct ToolRun {
    int status = -1;
    std::string out, err;
    double seconds = 0;
};

// Runs a shell command; limits prefixes it (ulimit lines), TMPDIR is the test's folder.
ToolRun run(const fs::path& folder, const std::string& arguments, const std::string& limits = "") {
    const fs::path err = folder / "stderr.txt";
    const std::string command = limits + "cd '" + folder.string() + "' && TMPDIR='" + folder.string() +
                                "' " + KELVORAN_SESSION_REPLAY + " " + arguments + " 2>'" + err.string() + "'";
    ToolRun result;
    const auto start = std::chrono::steady_clock::now();
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.err = readFile(err);
    fs::remove(err);
    return result;
}

// Folders the replay made under TMPDIR and left behind.
int leftTemporaryFolders(const fs::path& folder) {
    int count = 0;
    for (const auto& item : fs::directory_iterator(folder))
        count += item.path().filename().string().rfind("kelvoran-replay-", 0) == 0 ? 1 : 0;
    return count;
}

class HostileRecording : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelvoran-hostile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};
}  // namespace

TEST_F(HostileRecording, RepeatedMapLoadsShareOneCopyAndTooManyAreRefusedInLittleMemory) {
    // 64 KiB of map, then "the same map as before" 20,000 times: 1.25 GiB of loads in 265 KB.
    const std::vector<uint8_t> big(64 << 10, 7);
    Maker maker;
    maker.map(MapLoadKind::Bytes, big);
    for (int i = 0; i < 20000; ++i) maker.map(MapLoadKind::SameAsBefore);
    const Recording decoded = decodeRecording(maker.bytes().data(), maker.bytes().size());
    EXPECT_EQ(decoded.problem, Recording::Problem::BeyondLimits);
    EXPECT_EQ(decoded.problemText,
              "it asks for more than 1,073,741,824 map bytes loaded in all (the replay's limit)");
    ASSERT_GT(decoded.maps.size(), 1000u);
    for (const MapLoad& load : decoded.maps) EXPECT_EQ(load.bytes.get(), decoded.maps[0].bytes.get());

    maker.write(dir / "bomb.krec");
    // The tool, with its address space cut to 256 MiB (not under AddressSanitizer, whose
    // shadow memory alone is larger).
    const ToolRun refused = run(dir, "bomb.krec", kAddressSanitizer ? "" : "ulimit -v 262144; ");
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find("cannot replay bomb.krec: " + decoded.problemText), std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.out, "");
}

TEST_F(HostileRecording, IdleRunsOfNearlyABillionPassesCostNothingAndOneSecondHoldsAtMostABillion) {
    int32_t clock = 10;
    Maker spread = started();
    spread.steps(5, clock);
    std::vector<Entry> idle;
    for (int i = 0; i < 133; ++i) {
        idle.push_back(entry(Entry::Tag::IdlePasses, 900000000, {clock += 1}));
        clock += 1000;
        idle.push_back(entry(Entry::Tag::Pass, 25, {clock}));
    }
    spread.entries(idle).write(dir / "idle.krec");
    // Each cycle's jump runs the 25 steps a pass may catch up, and its idle run at most one more.
    const auto stepsIn = [](const std::string& out, const std::string& prefix) {
        const size_t at = out.rfind(prefix);
        return at == std::string::npos ? -1L : std::stol(out.substr(at + prefix.size()));
    };
    const ToolRun played = run(dir, "idle.krec");
    EXPECT_EQ(played.status, 2) << played.err;  // no End record: cut short
    const long steps = stepsIn(played.out, "replay cut short: ");
    EXPECT_GE(steps, 5 + 133 * 25);
    EXPECT_LE(steps, 5 + 133 * 26);
    EXPECT_LT(played.seconds, 60.0);
    const ToolRun until = run(dir, "--until 40 idle.krec");
    EXPECT_EQ(until.status, 0) << until.err;
    const long stopped = stepsIn(until.out, "replay stopped at step ");
    EXPECT_GE(stopped, 40);
    EXPECT_LT(stopped, 40 + 26);

    // Three billion passes on one clock reading cannot happen within a second.
    Maker still = started();
    clock = 10;
    still.steps(5, clock);
    still.entries({entry(Entry::Tag::IdlePasses, 1000000000, {clock}),
                   entry(Entry::Tag::IdlePasses, 1000000000, {clock}),
                   entry(Entry::Tag::IdlePasses, 1000000000, {clock})})
        .write(dir / "still.krec");
    const ToolRun refused = run(dir, "still.krec");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("stopped at step 5: it asks for more than 1,000,000,000 main-loop passes "
                               "in one second (the replay's limit)"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(leftTemporaryFolders(dir), 0);
}

TEST_F(HostileRecording, AThousandCarsOnOnePointStopAtTheCarLimitAndPlayInSeconds) {
    int32_t clock = 10;
    Maker maker = started();
    std::vector<Entry> presses;
    for (int i = 0; i < 1000; ++i) {
        presses.push_back(entry(Entry::Tag::KeyDown, '1'));
        presses.push_back(entry(Entry::Tag::KeyUp, '1'));
    }
    maker.entries(presses).steps(10001, clock).write(dir / "cars.krec");
    const ToolRun played = run(dir, "--until 9000 cars.krec");
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_NE(played.out.find("replay stopped at step 9000"), std::string::npos);
    EXPECT_NE(played.out.find("actors: 50 (boxes 0, cars 50, rockets 0)\n"), std::string::npos) << played.out.substr(played.out.size() - 400);
    // Every refused car said so.
    size_t refusals = 0;
    for (size_t at = 0; (at = played.err.find("No car dropped: 50 cars is the limit\n", at)) != std::string::npos; ++at)
        ++refusals;
    EXPECT_EQ(refusals, 950u);
    EXPECT_LT(played.seconds, 120.0);
}

TEST_F(HostileRecording, RecordedTextReachesTheTerminalEscapedAndANulArgumentIsDamage) {
    const std::string title = "\x1b]0;owned\x07", fake = "x\nreplay matches: 1 steps, state 0";
    Maker maker({"kelvoran", title, fake, "caf\xc3\xa9 \xc2\x9b" "2J"}, "build \x1b[2J");
    maker.map(MapLoadKind::Bytes, starterMap()).entries({entry(Entry::Tag::Startup, 0, {0})});
    maker.write(dir / "escapes.krec");
    const ToolRun played = run(dir, "escapes.krec");
    EXPECT_NE(played.out.find("2. \\x1b]0;owned\\x07\n3. x\\x0areplay matches: 1 steps, state 0\n"
                              "4. caf\xc3\xa9 \\xc2\\x9b" "2J\n"),
              std::string::npos)
        << played.out;
    EXPECT_NE(played.err.find("recorded on build \"build \\x1b[2J\""), std::string::npos) << played.err;
    for (const std::string& text : {played.out, played.err})
        for (char c : text) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);

    Maker({"kelvoran", std::string("editor\0hidden", 13)}).write(dir / "nul.krec");
    const ToolRun nul = run(dir, "nul.krec");
    EXPECT_EQ(nul.status, 2);
    EXPECT_EQ(nul.out, "");
    EXPECT_NE(nul.err.find("argument 2 in the record at byte"), std::string::npos) << nul.err;
    EXPECT_NE(nul.err.find("holds a NUL byte"), std::string::npos) << nul.err;
}

TEST(TerminalText, NoControlByteSurvivesAndPrintableUtf8IsKept) {
    std::mt19937 random(26);
    for (int i = 0; i < 2000; ++i) {
        std::string text(random() % 40, '\0');
        for (char& c : text) c = static_cast<char>(random());
        const std::string escaped = escapeForTerminal(text);
        for (size_t at = 0; at < escaped.size(); ++at) {
            const auto c = static_cast<unsigned char>(escaped[at]);
            ASSERT_TRUE(c >= 0x20 && c != 0x7f) << at;
            // A C1 control, encoded or bare, never gets through either.
            if (c == 0xc2 && at + 1 < escaped.size()) {
                ASSERT_FALSE(static_cast<unsigned char>(escaped[at + 1]) < 0xa0);
            }
        }
    }
    const std::string kept = "C:\\maps\\caf\xc3\xa9 \xe2\x86\x92 \xf0\x9f\x9a\x97 ~";
    EXPECT_EQ(escapeForTerminal(kept), kept);
    EXPECT_EQ(escapeForTerminal(std::string("a\0b\x7f\xed\xa0\x80\xc0\xaf", 9)),
              "a\\x00b\\x7f\\xed\\xa0\\x80\\xc0\\xaf");
}

TEST_F(HostileRecording, ReplayWritesOnlyInItsOwnFolder) {
    int32_t clock = 10;
    started().steps(20, clock).write(dir / "plain.krec");
    // Unreadable load at start-up: the game found no map.txt.
    Maker unreadable;
    unreadable.map(MapLoadKind::Unreadable).entries({entry(Entry::Tag::Startup, 0, {0})});
    unreadable.write(dir / "unreadable.krec");
    const std::string outside = "the user's own file, not a map";
    std::ofstream(dir / "outside.txt") << outside;

    // A map.txt that links outside: refused, and with --force replaced, never written through.
    fs::create_directories(dir / "linked");
    fs::create_symlink(dir / "outside.txt", dir / "linked" / "map.txt");
    const ToolRun linked = run(dir, "--dir linked plain.krec");
    EXPECT_EQ(linked.status, 2);
    EXPECT_EQ(linked.out, "");
    EXPECT_NE(linked.err.find("linked already holds map.txt, which the replay would replace (--force "
                              "replays there anyway); nothing played"),
              std::string::npos)
        << linked.err;
    const ToolRun forced = run(dir, "--force --dir linked plain.krec");
    EXPECT_EQ(forced.status, 2) << forced.err;  // cut short: no End record
    EXPECT_FALSE(fs::is_symlink(dir / "linked" / "map.txt"));
    EXPECT_EQ(readFile(dir / "linked" / "map.txt"), readFile(fs::path(KELVORAN_ASSETS) / "map.txt"));
    EXPECT_EQ(readFile(dir / "outside.txt"), outside);

    // An existing map.txt is kept, also from a recording whose load found none.
    fs::create_directories(dir / "kept");
    std::ofstream(dir / "kept" / "map.txt") << outside;
    EXPECT_EQ(run(dir, "--dir kept unreadable.krec").status, 2);
    EXPECT_EQ(readFile(dir / "kept" / "map.txt"), outside);

    // A --dir that is not a folder, or lies under a file: refused, and nothing played anywhere.
    std::ofstream(dir / "map.txt") << outside;
    for (const char* bad : {"outside.txt", "outside.txt/sub"}) {
        const ToolRun refused = run(dir, std::string("--dir ") + bad + " plain.krec");
        EXPECT_EQ(refused.status, 2) << bad;
        EXPECT_EQ(refused.out, "") << bad;
        EXPECT_NE(refused.err.find("; nothing played"), std::string::npos) << refused.err;
    }
    if (geteuid() != 0) {  // root enters any folder
        fs::create_directories(dir / "closed");
        fs::permissions(dir / "closed", fs::perms::none);
        const ToolRun closed = run(dir, "--dir closed plain.krec");
        fs::permissions(dir / "closed", fs::perms::owner_all);
        EXPECT_EQ(closed.status, 2);
        EXPECT_EQ(closed.out, "");
    }
    EXPECT_EQ(readFile(dir / "map.txt"), outside);
    EXPECT_FALSE(fs::exists(dir / "map.txt.bak"));
    EXPECT_EQ(leftTemporaryFolders(dir), 0);
}

namespace {
// Starts kelvoran-replay on file in folder, interrupts it once it plays, and returns how long it
// took to end after the signal, with its exit status.
double secondsToStop(const fs::path& folder, const std::string& file, int& exitStatus) {
    const pid_t child = fork();
    if (child < 0) return -1.0;
    if (child == 0) {
        if (chdir(folder.c_str()) != 0 || !std::freopen("/dev/null", "w", stdout) ||
            !std::freopen("/dev/null", "w", stderr))
            _exit(126);
        setenv("TMPDIR", folder.c_str(), 1);
        execl(KELVORAN_SESSION_REPLAY, "kelvoran-replay", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 200 && leftTemporaryFolders(folder) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(leftTemporaryFolders(folder), 1) << "the replay never started";
    const auto signalled = std::chrono::steady_clock::now();
    kill(child, SIGINT);
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1.0;
    exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
}
}  // namespace

TEST_F(HostileRecording, CtrlCRemovesTheTemporaryFolder) {
    // A long replay (100,000 steps), interrupted once it has started playing; then one whose
    // script works through most of its allowance every step.
    int32_t clock = 10;
    Maker plain = started();
    for (int i = 0; i < 20; ++i) plain.steps(5000, clock);
    plain.write(dir / "long.krec");
    clock = 10;
    Maker scripted = started();
    scripted.script("function on_step() local n = 0 for i = 1, 150000 do n = n + i end end\n");
    for (int i = 0; i < 20; ++i) scripted.steps(5000, clock);
    scripted.write(dir / "scripted.krec");
    for (const char* file : {"long.krec", "scripted.krec"}) {
        int status = -1;
        const double seconds = secondsToStop(dir, file, status);
        EXPECT_EQ(status, 130) << file;
        EXPECT_LT(seconds, kAddressSanitizer ? 20.0 : 5.0) << file;
        EXPECT_EQ(leftTemporaryFolders(dir), 0) << file;
    }
}

namespace {
class HostileScriptReplay : public HostileRecording, public testing::WithParamInterface<HostileScript> {};
}  // namespace

// The replay applies every bound the game does: each script stops with its line, in little time.
TEST_P(HostileScriptReplay, IsStoppedWithItsLineInBoundedTime) {
    int32_t clock = 10;
    Maker maker = started();
    maker.script(GetParam().script).steps(100, clock).write(dir / "hostile.krec");
    const ToolRun played = run(dir, "hostile.krec");
    EXPECT_EQ(played.status, 2) << played.err;  // no End record: cut short
    EXPECT_NE(played.err.find(std::string(GetParam().line) + "\n"), std::string::npos) << played.err;
    EXPECT_NE(played.out.find("replay cut short: 100 steps"), std::string::npos) << played.out;
    EXPECT_LT(played.seconds, kAddressSanitizer ? 60.0 : 10.0);
}

INSTANTIATE_TEST_SUITE_P(Script, HostileScriptReplay, testing::ValuesIn(kHostileScripts),
                         [](const testing::TestParamInfo<HostileScript>& param) {
                             return std::string(param.param.name);
                         });

// Handles and built-in functions as table keys: the order pairs gives them, and so the state,
// does not depend on where the run put them in memory.
TEST_F(HostileRecording, AHandleKeyedSessionReplaysToOneHash) {
    const std::string script =
        "local crates, builtins = {}, {}\n"
        "for i = 1, 40 do crates[game.box(i * 30 - 600, -200)] = i end\n"
        "for _, f in ipairs({print, game.box, string.find, math.max, ipairs, select, next}) do\n"
        "  builtins[f] = true end\n"
        "builtins[ipairs({})] = true\n"
        "local n = 0\n"
        "for h in pairs(crates) do n = n + 1; if n % 3 == 0 then h:remove() end end\n"
        "for f in pairs(builtins) do n = n + 1; game.box(n * 20 - 400, -400) end\n"
        "function on_step() local x = 0 for h, i in pairs(crates) do x = x + 1\n"
        "  if x == 7 and h:alive() then h:push(i * 10, 0) end end end\n";
    int32_t clock = 10;
    Maker maker = started();
    maker.script(script).steps(60, clock).write(dir / "keys.krec");
    std::vector<std::string> states;
    for (int i = 0; i < 3; ++i) {
        const ToolRun played = run(dir, "keys.krec");
        ASSERT_EQ(played.status, 2) << played.err;  // no End record: cut short
        EXPECT_EQ(played.err.find("map.lua"), std::string::npos) << played.err;
        const size_t at = played.out.find("replay cut short: 60 steps, state ");
        ASSERT_NE(at, std::string::npos) << played.out;
        states.push_back(played.out.substr(at));
    }
    EXPECT_EQ(states[1], states[0]);
    EXPECT_EQ(states[2], states[0]);
}

// The game never reads more than 16 MiB of map.lua, so a recording that carries more is refused
// before anything is played.
TEST_F(HostileRecording, AMapLuaLargerThanTheGameReadsIsRefused) {
    int32_t clock = 10;
    Maker maker = started();
    maker.script("-- " + std::string(16u << 20, 'x')).steps(5, clock).write(dir / "large.krec");
    const ToolRun refused = run(dir, "large.krec");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("it asks for more than 16,777,216 bytes of map.lua in one read"), std::string::npos)
        << refused.err;
    EXPECT_EQ(leftTemporaryFolders(dir), 0);
}
