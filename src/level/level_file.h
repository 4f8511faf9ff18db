// level_file.h: a level as one file to hand over: a zip holding level.json (the manifest), the
// map, an optional script, the level's own images and sounds, a thumbnail and optionally the
// recording of its solution. Read whole in memory, never unpacked on disk; anything a stranger's
// file could use against the reader is refused with a one-line reason.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

constexpr const char* kLevelManifestName = "level.json";
constexpr const char* kLevelExtension = ".kvlevel";
constexpr int kLevelFormat = 1;
// What one level file may ask of the reader.
constexpr size_t kMaxLevelEntries = 256;
constexpr uint64_t kMaxLevelEntryBytes = 16u << 20;  // one entry unpacked
constexpr uint64_t kMaxLevelBytes = 64u << 20;       // every entry unpacked, and the file itself
constexpr uint64_t kMaxCompressionRatio = 100;       // unpacked size over packed size, per entry

struct LevelFileListing {
    std::string name;
    uint64_t size = 0;
    std::string sha256;  // 64 lowercase hexadecimal digits
};

struct LevelManifest {
    int format = kLevelFormat;
    std::string id;           // lowercase letters, digits, - and _; names the level's save folder
    std::string title;
    std::string author;
    std::string licence;
    std::string description;  // one line
    std::string game;         // the game version it needs, "MAJOR.MINOR"
    // The entry files, each one of files; script and solution may be empty (none).
    std::string map = "map.txt";
    std::string script;
    std::string thumbnail = "thumbnail.png";
    std::string solution;
    int64_t thumbnailStep = 0;  // the logic step the thumbnail shows
    std::vector<LevelFileListing> files;  // every entry but the manifest, in archive order
};

using LevelFiles = std::map<std::string, std::vector<uint8_t>>;

struct LevelFile {
    LevelManifest manifest;
    LevelFiles files;  // every listed file, checked against its size and SHA-256
    const std::vector<uint8_t>* find(const std::string& name) const;
};

// The version of the game reading the files, "MAJOR.MINOR".
const char* levelGameVersion();

// Reads a level file held in memory. False, with the reason in problem (one line), when it is
// refused; level is then left empty.
bool readLevelFile(const uint8_t* data, size_t size, LevelFile& level, std::string& problem);
// The same from a file on disk, read only up to the size limit.
bool readLevelFileAt(const std::string& path, LevelFile& level, std::string& problem);

// The manifest as JSON text, and back. parseManifest checks every field; it does not compare
// the listing with any archive.
std::string manifestToJson(const LevelManifest& manifest);
bool parseManifest(const std::string& text, LevelManifest& manifest, std::string& problem);

// Whether a level may hold the name: relative, no `.` or `..` parts, letters, digits, ` ._-`
// and `/`. False with why not in why.
bool levelNameAllowed(const std::string& name, std::string& why);

// Packs files (names as levelNameAllowed allows) with the manifest, whose listing is made here
// from the files, into zip bytes: the same bytes for the same input. False, with the reason in
// problem, when libzip fails.
bool writeLevelFile(LevelManifest manifest, const LevelFiles& files, std::vector<uint8_t>& bytes,
                    std::string& problem);
