// level_file_fuzz.cpp: the level file reader on arbitrary bytes, and the writer and reader on
// every set of files the input can describe. Read as a file, the input must be refused with one
// line or accepted within every limit, each file matching its listing; cut into names and
// contents, it must pack and read back to the same files, or be refused for a name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "level/level_file.h"
#include "level/sha256.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void checkRead(bool accepted, const LevelFile& level, const std::string& problem) {
    if (!accepted) {
        if (problem.empty() || problem.find('\n') != std::string::npos) fail("a refusal is not one line");
        if (!level.files.empty()) fail("a refused level kept files");
        return;
    }
    uint64_t total = 0;
    if (level.files.size() != level.manifest.files.size()) fail("files and listing differ in number");
    for (const LevelFileListing& listing : level.manifest.files) {
        const std::vector<uint8_t>* bytes = level.find(listing.name);
        if (!bytes) fail("a listed file is missing");
        std::string why;
        if (!levelNameAllowed(listing.name, why)) fail("an unsafe name was accepted");
        if (bytes->size() != listing.size || bytes->size() > kMaxLevelEntryBytes) fail("a size is wrong");
        if (sha256Hex(bytes->data(), bytes->size()) != listing.sha256) fail("a checksum is wrong");
        total += bytes->size();
    }
    if (total > kMaxLevelBytes) fail("more than the total was accepted");
    if (!level.find(level.manifest.map) || !level.find(level.manifest.thumbnail)) fail("an entry file is missing");
}

// Pieces separated by 0xff: name, contents, name, contents...
LevelFiles filesFrom(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xff) {
            pieces.emplace_back();
        } else {
            pieces.back().push_back(static_cast<char>(data[i]));
        }
    }
    LevelFiles files;
    for (size_t i = 0; i + 1 < pieces.size() && files.size() < 64; i += 2)
        files[pieces[i]] = std::vector<uint8_t>(pieces[i + 1].begin(), pieces[i + 1].end());
    return files;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LevelFile level;
    std::string problem;
    checkRead(readLevelFile(data, size, level, problem), level, problem);

    const LevelFiles files = filesFrom(data, size);
    if (files.empty()) return 0;
    LevelManifest manifest;
    manifest.id = "fuzz";
    manifest.title = manifest.author = manifest.licence = "fuzz";
    manifest.game = levelGameVersion();
    manifest.map = manifest.thumbnail = files.begin()->first;
    // Fine names: each allowed, none the manifest's, none equal to another but for case.
    bool namesFine = true;
    std::vector<std::string> folded;
    for (const auto& entry : files) {
        std::string name = entry.first;
        for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        std::string why;
        namesFine = namesFine && levelNameAllowed(entry.first, why) && name != kLevelManifestName;
        for (const std::string& other : folded) namesFine = namesFine && other != name;
        folded.push_back(name);
    }
    for (const std::string& name : folded)
        for (const std::string& other : folded)
            namesFine = namesFine && other.compare(0, name.size() + 1, name + "/") != 0;
    std::vector<uint8_t> packed;
    if (!writeLevelFile(manifest, files, packed, problem)) {
        if (namesFine) fail("fine names did not pack");
        return 0;
    }
    if (!namesFine) fail("a level with an unusable name was packed");
    LevelFile back;
    const bool accepted = readLevelFile(packed.data(), packed.size(), back, problem);
    checkRead(accepted, back, problem);
    if (!accepted) fail("a packed level was refused");
    if (back.files != files) fail("a packed level read back different");
    return 0;
}
