// kelvoran_replay.cpp: plays a session the game recorded and proves it comes out the same.
// Usage: kelvoran-replay [--dir DIR] [--until STEP] [--watch] [--assets DIR] FILE
// Prints the game's console lines, then "replay matches: N steps, state HASH" (status 0) or
// "replay diverged at step K: expected H1, got H2" (status 1); a file that cannot be replayed
// exits with status 2.
#include <unistd.h>

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
#include "session/session_replay.h"
#include "game/state_hash.h"

namespace fs = std::filesystem;

namespace {
constexpr int kMatches = 0;
constexpr int kDiverged = 1;
constexpr int kUnplayable = 2;

int usage() {
    std::cerr << "usage: kelvoran-replay [--dir DIR] [--until STEP] [--watch] [--assets DIR] FILE\n"
                 "  --dir DIR     play inside DIR (created if missing) and keep the files the session "
                 "wrote there\n"
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

// A fresh folder under the system's temporary folder, or empty.
std::string makeTemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "kelvoran-replay-XXXXXX").string();
    return mkdtemp(&pattern[0]) ? pattern : std::string();
}
}  // namespace

int main(int argc, char** argv) {
    std::string file, dir, assets;
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
                  << recording.buildId << "\", this is \"" << recordingBuildId()
                  << "\"; a different build may play it differently" << std::endl;
    if (settings.watch && !std::getenv("DISPLAY")) {
        std::cerr << "kelvoran-replay: --watch needs a display (DISPLAY is not set)" << std::endl;
        return kUnplayable;
    }

    const fs::path home = fs::current_path();
    std::error_code error;
    const bool temporary = dir.empty();
    if (temporary) {
        dir = makeTemporaryFolder();
    } else {
        fs::create_directories(dir, error);
    }
    if (dir.empty() || !fs::is_directory(dir, error)) {
        std::cerr << "kelvoran-replay: cannot make a folder to play in"
                  << (dir.empty() ? "" : ": " + dir) << std::endl;
        return kUnplayable;
    }
    settings.folder = fs::absolute(dir).lexically_normal().string();
    settings.imageFolder = fs::absolute(assets.empty() ? home : fs::path(assets)).string();

    const ReplayResult result =
        settings.watch ? watchRecording(recording, settings) : playRecording(recording, settings);
    fs::current_path(home, error);
    if (temporary) fs::remove_all(settings.folder, error);

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
