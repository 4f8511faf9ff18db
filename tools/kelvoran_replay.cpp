// kelvoran_replay.cpp: plays a session the game recorded and proves it comes out the same.
// Usage: kelvoran-replay [--dir DIR] [--force] [--until STEP] [--watch] [--assets DIR] FILE
// Prints the game's console lines, then "replay matches: N steps, state HASH" (status 0) or
// "replay diverged at step K: expected H1, got H2" (status 1); a file that cannot be replayed
// exits with status 2, an interrupted replay with 130.
#include <unistd.h>

#include <csignal>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "app/watch_window.h"
#include "session/recording_format.h"
#include "session/recording_limits.h"
#include "session/replay_folder.h"
#include "session/session_replay.h"
#include "game/state_hash.h"
#include "script/lua_sandbox.h"
#include "core/terminal_text.h"

namespace fs = std::filesystem;

namespace {
constexpr int kMatches = 0;
constexpr int kDiverged = 1;
constexpr int kUnplayable = 2;
constexpr int kInterrupted = 130;

volatile std::sig_atomic_t interruptedBy = 0;
// A running script is stopped at its next budget check, so that the entry it holds up ends soon.
void onInterrupt(int signal) {
    interruptedBy = signal;
    interruptSandboxes();
}

// Ctrl-C, a hang-up or a kill ends the replay between two entries, so that the temporary folder
// is removed as on any other end.
void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// Passes the console lines through to standard output until the replay's limit; past it they
// are dropped and the replay is stopped.
class LimitedOutput : public std::streambuf {
public:
    explicit LimitedOutput(std::streambuf* target) : target_(target) {}
    bool exceeded() const { return exceeded_; }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (exceeded_ || written_ + static_cast<uint64_t>(n) > kMaxReplayOutputBytes) {
            exceeded_ = true;
            return 0;
        }
        written_ += static_cast<uint64_t>(n);
        return target_->sputn(s, n);
    }
    int sync() override { return target_->pubsync(); }

private:
    std::streambuf* target_;
    uint64_t written_ = 0;
    bool exceeded_ = false;
};

int usage() {
    std::cerr << "usage: kelvoran-replay [--dir DIR] [--force] [--until STEP] [--watch] [--assets DIR] "
                 "FILE\n"
                 "  --dir DIR     play inside DIR (created if missing) and keep the files the session "
                 "wrote there\n"
                 "  --force       play in a DIR that already holds map.txt or map.txt.bak, replacing "
                 "them\n"
                 "  --until STEP  stop once STEP logic steps have run and print the state\n"
                 "  --watch       play in a window at the recorded speed (Esc stops)\n"
                 "  --assets DIR  where --watch finds the images (default: the current folder)\n";
    return kUnplayable;
}

bool readWhole(const std::string& path, std::vector<uint8_t>& bytes) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        errno = error ? error.value() : EISDIR;
        if (!fs::exists(path)) errno = ENOENT;
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int play(const std::string& file, const Recording& recording, ReplaySettings settings,
         const ReplayFolder& folder);
}  // namespace

int main(int argc, char** argv) {
    catchInterrupts();
    std::string file, dir, assets;
    bool force = false;
    ReplaySettings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (arg == "--assets" && i + 1 < argc) {
            assets = argv[++i];
        } else if (arg == "--until" && i + 1 < argc) {
            char* end = nullptr;
            settings.untilStep = std::strtoll(argv[++i], &end, 10);
            if (*end != '\0' || settings.untilStep < 0) return usage();
        } else if (arg == "--force") {
            force = true;
        } else if (arg == "--watch") {
            settings.watch = true;
        } else if (!arg.empty() && arg[0] != '-' && file.empty()) {
            file = arg;
        } else {
            return usage();
        }
    }
    if (file.empty()) return usage();

    std::vector<uint8_t> bytes;
    if (!readWhole(file, bytes)) {
        std::cerr << "kelvoran-replay: cannot read " << file << ": " << std::strerror(errno) << std::endl;
        return kUnplayable;
    }
    const Recording recording = decodeRecording(bytes.data(), bytes.size());
    using Problem = Recording::Problem;
    if (recording.problem != Problem::None && recording.problem != Problem::CutShort) {
        std::cerr << "kelvoran-replay: cannot replay " << file << ": " << recording.problemText
                  << std::endl;
        return kUnplayable;
    }
    if (recording.buildId != recordingBuildId())
        std::cerr << "kelvoran-replay: note: " << file << " was recorded on build \""
                  << escapeForTerminal(recording.buildId) << "\", this is \"" << recordingBuildId()
                  << "\"; a different build may play it differently" << std::endl;
    if (settings.watch && !std::getenv("DISPLAY")) {
        std::cerr << "kelvoran-replay: --watch needs a display (DISPLAY is not set)" << std::endl;
        return kUnplayable;
    }

    const fs::path home = fs::current_path();
    ReplayFolder folder;
    std::string why;
    if (!prepareReplayFolder(dir, force, folder, why)) {
        std::cerr << "kelvoran-replay: " << why << "; nothing played" << std::endl;
        return kUnplayable;
    }
    settings.imageFolder = fs::absolute(assets.empty() ? home : fs::path(assets)).string();
    int status = kUnplayable;
    try {
        status = play(file, recording, settings, folder);
    } catch (const std::exception& error) {
        std::cerr << "kelvoran-replay: cannot replay " << file << ": " << error.what() << std::endl;
    }
    std::error_code error;
    fs::current_path(home, error);
    removeReplayFolder(folder);
    return interruptedBy ? kInterrupted : status;
}

namespace {
int play(const std::string& file, const Recording& recording, ReplaySettings settings,
         const ReplayFolder& folder) {
    settings.folder = folder.path;
    LimitedOutput limited(std::cout.rdbuf());
    struct Console {  // standard output back as it was, also when the replay throws
        std::streambuf* buffer;
        ~Console() {
            std::cout.rdbuf(buffer);
            std::cout.clear();
        }
    } console{std::cout.rdbuf(&limited)};
    settings.stopReason = [&limited]() -> std::string {
        if (interruptedBy) return "interrupted";
        if (limited.exceeded()) return beyondLimit("bytes of console output", kMaxReplayOutputBytes);
        return "";
    };
    const ReplayResult result =
        settings.watch ? watchRecording(recording, settings) : playRecording(recording, settings);
    if (result.outcome == ReplayResult::Outcome::Refused) {
        std::cout << std::flush;
        std::cerr << "kelvoran-replay: " << file << " stopped at step " << result.steps << ": "
                  << result.refusal << std::endl;
        return kUnplayable;
    }

    const std::string hash = formatHash(result.hash);
    switch (result.outcome) {
        case ReplayResult::Outcome::Matches:
            std::cout << "replay matches: " << result.steps << " steps, state " << hash << std::endl;
            return kMatches;
        case ReplayResult::Outcome::Diverged:
            std::cout << "replay diverged at step " << result.divergedAt << ": expected "
                      << formatHash(result.expected) << ", got " << hash << std::endl;
            return kDiverged;
        case ReplayResult::Outcome::Stopped:
            std::cout << result.summary << "replay stopped at step " << result.steps << ": state "
                      << hash << std::endl;
            return kMatches;
        case ReplayResult::Outcome::CutShort:
        case ReplayResult::Outcome::Refused:
            break;
    }
    std::cerr << "kelvoran-replay: " << file << " is cut short ("
              << (recording.problemText.empty() ? "it ends without its final record"
                                                : recording.problemText)
              << "); replayed up to its last complete record, byte " << recording.goodBytes
              << std::endl;
    std::cout << "replay cut short: " << result.steps << " steps, state " << hash << std::endl;
    return kUnplayable;
}
}  // namespace
