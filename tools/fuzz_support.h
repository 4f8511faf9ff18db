// fuzz_support.h: the fuzz targets' working folder, and what fails an input: a broken invariant
// of the game, or a target's own check, is one line on standard error and an abort (a finding).
#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "game/invariants.h"

namespace fuzz {

// Makes a fresh working folder named after prefix, in memory where there is one (the disk would
// make every input wait for it), removed when the process exits; returns its path. With enter,
// the process moves into it.
inline std::string makeWorkFolder(const std::string& prefix, bool enter) {
    std::string inMemory = "/dev/shm/" + prefix + "-XXXXXX";
    std::string onDisk = "/tmp/" + prefix + "-XXXXXX";
    const char* folder = mkdtemp(inMemory.data());
    if (folder == nullptr) folder = mkdtemp(onDisk.data());
    if (folder == nullptr || (enter && chdir(folder) != 0)) std::abort();
    static std::string made;
    made = folder;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(made, ignored);
    });
    return made;
}

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// The game's own invariants (game/invariants.h): after every operation the bodies, the quads and
// the quad index whole and a window of shadows; at the end of an input everything.
inline void checkAfterOperation() {
    std::string why;
    if (!gameInvariantsHold(InvariantScope::Sampled, why, true)) fail(why.c_str());
}
inline void checkAll() {
    std::string why;
    if (!gameInvariantsHold(InvariantScope::Whole, why)) fail(why.c_str());
}

}  // namespace fuzz
