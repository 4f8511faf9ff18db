// level_file.cpp: reading and writing level files with libzip, in memory only.
#include "level/level_file.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

#include "core/refusal.h"
#include "level/sha256.h"

// Set for this file by the build.
#ifndef KELVORAN_VERSION
#define KELVORAN_VERSION "0.1"
#endif

namespace {
using Json = nlohmann::json;

constexpr size_t kMaxNameBytes = 255;
constexpr size_t kMaxShortText = 80;   // title, author, licence: bytes
constexpr size_t kMaxDescription = 200;
constexpr int64_t kMaxThumbnailStep = 1000000;  // 10,000 s of logic time
// Packed files carry this time, so the same level packs to the same bytes.
constexpr time_t kPackedTime = 1577836800;  // 2020-01-01 00:00:00 UTC
constexpr zip_uint32_t kUnixRegularFile = 0100644;
constexpr zip_uint32_t kUnixTypeMask = 0170000;
constexpr zip_uint32_t kUnixRegular = 0100000;
constexpr zip_uint32_t kUnixFolder = 0040000;
constexpr zip_uint32_t kUnixSymlink = 0120000;

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

std::string mebibytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Names as they appear in reasons: printable ASCII, anything else as \xNN, cut at 80 bytes.
std::string shown(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size() && i < 80; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c >= 0x20 && c < 0x7f) {
            out.push_back(static_cast<char>(c));
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        }
    }
    if (name.size() > 80) out += "...";
    return out;
}

bool isHexDigest(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool parseVersion(const std::string& text, long& major, long& minor) {
    const size_t dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == text.size() || text.size() > 12) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i != dot && !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    major = std::stol(text.substr(0, dot));
    minor = std::stol(text.substr(dot + 1));
    return true;
}

// A text field: a string of at most limit bytes without control characters; empty allowed only
// when optional.
bool readText(const Json& object, const char* key, size_t limit, bool optional, std::string& out,
              std::string& problem) {
    const auto found = object.find(key);
    if (found == object.end()) {
        if (optional) return true;
        problem = std::string("no ") + key;
        return false;
    }
    if (!found->is_string()) {
        problem = std::string(key) + " is not text";
        return false;
    }
    out = found->get<std::string>();
    if (out.empty() && !optional) {
        problem = std::string(key) + " is empty";
        return false;
    }
    if (out.size() > limit) {
        problem = std::string(key) + " is longer than " + std::to_string(limit) + " bytes";
        return false;
    }
    for (const char c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            problem = std::string(key) + " holds a control character";
            return false;
        }
    return true;
}

bool readEntryName(const Json& entry, const char* key, bool optional, std::string& out,
                   std::string& problem) {
    if (!readText(entry, key, kMaxNameBytes, optional, out, problem)) return false;
    if (out.empty()) return true;
    std::string why;
    return levelNameAllowed(out, why) || refuse(problem, std::string("entry ") + key + ": " + why);
}

// A file whose name is a folder of another file's path: the two cannot both be unpacked.
std::string clashProblem(const std::set<std::string>& fileNames) {
    for (const std::string& name : fileNames)
        for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
            if (fileNames.count(name.substr(0, slash))) return "a file and a folder share a name: " + shown(name.substr(0, slash));
    return std::string();
}

}  // namespace

const std::vector<uint8_t>* LevelFile::find(const std::string& name) const {
    const auto found = files.find(name);
    return found == files.end() ? nullptr : &found->second;
}

const char* levelGameVersion() { return KELVORAN_VERSION; }

bool levelNameAllowed(const std::string& name, std::string& why) {
    if (name.empty()) return refuse(why, "empty name");
    if (name.size() > kMaxNameBytes) return refuse(why, "name longer than 255 bytes: " + shown(name));
    if (name[0] == '/') return refuse(why, "absolute path: " + shown(name));
    if (name.find('\\') != std::string::npos) return refuse(why, "backslash in name: " + shown(name));
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part == "..") return refuse(why, "path escapes the level: " + shown(name));
        if (part == "." || part.empty()) return refuse(why, "odd path: " + shown(name));
        start = end + 1;
    }
    for (const char c : name) {
        const bool fine = std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '.' ||
                          c == '_' || c == '-' || c == '/';
        if (!fine || static_cast<unsigned char>(c) >= 0x80) return refuse(why, "unusual character in name: " + shown(name));
    }
    return true;
}

std::string manifestToJson(const LevelManifest& manifest) {
    Json entry = {{"map", manifest.map}, {"thumbnail", manifest.thumbnail}};
    if (!manifest.script.empty()) entry["script"] = manifest.script;
    if (!manifest.solution.empty()) entry["solution"] = manifest.solution;
    Json files = Json::array();
    for (const LevelFileListing& file : manifest.files)
        files.push_back({{"name", file.name}, {"size", file.size}, {"sha256", file.sha256}});
    // Keys in the order a reader expects them, not nlohmann's alphabetical one.
    std::string text = "{\n";
    const auto field = [&](const char* key, const Json& value, bool last = false) {
        text += "  \"" + std::string(key) + "\": " + value.dump() + (last ? "\n" : ",\n");
    };
    field("format", manifest.format);
    field("id", manifest.id);
    field("title", manifest.title);
    field("author", manifest.author);
    field("licence", manifest.licence);
    field("description", manifest.description);
    field("game", manifest.game);
    field("entry", entry);
    field("thumbnail_step", manifest.thumbnailStep);
    text += "  \"files\": [\n";
    for (size_t i = 0; i < files.size(); ++i)
        text += "    " + files[i].dump() + (i + 1 < files.size() ? ",\n" : "\n");
    text += "  ]\n}\n";
    return text;
}

bool parseManifest(const std::string& text, LevelManifest& manifest, std::string& problem) {
    manifest = LevelManifest{};
    std::string why;
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) return refuse(problem, "manifest not valid: not a JSON object");
    const auto bad = [&](const std::string& reason) { return refuse(problem, "manifest not valid: " + reason); };
    const auto format = json.find("format");
    if (format == json.end() || !format->is_number_integer()) return bad("no format number");
    if (*format != kLevelFormat)
        return bad("format " + format->dump() + " (this game reads " + std::to_string(kLevelFormat) + ")");
    manifest.format = kLevelFormat;
    if (!readText(json, "id", 64, false, manifest.id, why)) return bad(why);
    for (const char c : manifest.id)
        if (!(std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) ||
              c == '-' || c == '_'))
            return bad("id may hold only a-z, 0-9, - and _");
    if (!readText(json, "title", kMaxShortText, false, manifest.title, why) ||
        !readText(json, "author", kMaxShortText, false, manifest.author, why) ||
        !readText(json, "licence", kMaxShortText, false, manifest.licence, why) ||
        !readText(json, "description", kMaxDescription, true, manifest.description, why) ||
        !readText(json, "game", 12, false, manifest.game, why))
        return bad(why);
    long major = 0, minor = 0, ownMajor = 0, ownMinor = 0;
    if (!parseVersion(manifest.game, major, minor)) return bad("game is not a version like 0.1");
    parseVersion(levelGameVersion(), ownMajor, ownMinor);
    if (major > ownMajor || (major == ownMajor && minor > ownMinor))
        return refuse(problem, "needs Kelvoran " + manifest.game + " (this is " + levelGameVersion() + ")");
    const auto entry = json.find("entry");
    if (entry == json.end() || !entry->is_object()) return bad("no entry files");
    manifest.map.clear();
    manifest.thumbnail.clear();
    if (!readEntryName(*entry, "map", false, manifest.map, why) ||
        !readEntryName(*entry, "script", true, manifest.script, why) ||
        !readEntryName(*entry, "thumbnail", false, manifest.thumbnail, why) ||
        !readEntryName(*entry, "solution", true, manifest.solution, why))
        return bad(why);
    const auto step = json.find("thumbnail_step");
    if (step != json.end()) {
        if (!step->is_number_integer() || *step < 0 || *step > kMaxThumbnailStep)
            return bad("thumbnail_step is not a step from 0 to 1000000");
        manifest.thumbnailStep = step->get<int64_t>();
    }
    const auto files = json.find("files");
    if (files == json.end() || !files->is_array()) return bad("no files list");
    if (files->size() > kMaxLevelEntries) return bad("more than 256 files listed");
    for (const Json& file : *files) {
        if (!file.is_object()) return bad("a file listing is not an object");
        LevelFileListing listing;
        if (!readEntryName(file, "name", false, listing.name, why)) return bad(why);
        const auto size = file.find("size");
        if (size == file.end() || !size->is_number_unsigned() || *size > kMaxLevelEntryBytes)
            return bad("no size up to 16 MiB for " + shown(listing.name));
        listing.size = size->get<uint64_t>();
        if (!readText(file, "sha256", 64, false, listing.sha256, why) || !isHexDigest(listing.sha256))
            return bad("no SHA-256 in lowercase hexadecimal for " + shown(listing.name));
        manifest.files.push_back(listing);
    }
    std::set<std::string> listed;
    for (const LevelFileListing& file : manifest.files)
        if (!listed.insert(lowered(file.name)).second) return bad("listed twice: " + shown(file.name));
    if (listed.count(lowered(kLevelManifestName))) return bad("the manifest lists itself");
    for (const std::string* name : {&manifest.map, &manifest.script, &manifest.thumbnail, &manifest.solution})
        if (!name->empty() && !listed.count(lowered(*name))) return bad("entry file not listed: " + shown(*name));
    return true;
}

bool readLevelFile(const uint8_t* data, size_t size, LevelFile& level, std::string& problem) {
    level = LevelFile{};
    if (size > kMaxLevelBytes) return refuse(problem, "the file is larger than 64 MiB");
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data, size, 0, &error);
    if (source == nullptr) {
        problem = std::string("cannot read: ") + zip_error_strerror(&error);
        zip_error_fini(&error);
        return false;
    }
    Archive archive(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive) {
        zip_source_free(source);
        // libzip itself refuses an archive naming one file twice.
        problem = zip_error_code_zip(&error) == ZIP_ER_EXISTS ? std::string("duplicate name in the archive")
                                                               : std::string("not a level file: ") + zip_error_strerror(&error);
        zip_error_fini(&error);
        return false;
    }
    zip_error_fini(&error);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0) return refuse(problem, "not a level file: no entries");
    if (static_cast<uint64_t>(count) > kMaxLevelEntries)
        return refuse(problem, "too many entries: " + std::to_string(count) + " (at most 256)");

    // Every entry's name, kind and sizes before a byte is unpacked.
    struct Entry {
        zip_uint64_t index;
        std::string name;
        uint64_t size;
    };
    std::vector<Entry> entries;
    std::set<std::string> seen;
    uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const zip_uint64_t index = static_cast<zip_uint64_t>(i);
        const char* raw = zip_get_name(archive.get(), index, ZIP_FL_ENC_RAW);
        if (raw == nullptr) return refuse(problem, "damaged entry " + std::to_string(i + 1) + ": no name");
        std::string name = raw;
        const bool folder = !name.empty() && name.back() == '/';
        if (folder) name.pop_back();
        std::string why;
        if (!levelNameAllowed(name, why)) return refuse(problem, why);
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive.get(), index, 0, &system, &attributes) == 0 &&
            system == ZIP_OPSYS_UNIX) {
            const zip_uint32_t type = (attributes >> 16) & kUnixTypeMask;
            if (type == kUnixSymlink) return refuse(problem, "symbolic link: " + shown(name));
            if (type != 0 && type != kUnixRegular && type != kUnixFolder)
                return refuse(problem, "not a plain file: " + shown(name));
        }
        // Names differing only in case are one file on some systems that unpack them.
        if (!seen.insert(lowered(name)).second) return refuse(problem, "duplicate name: " + shown(name));
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), index, 0, &stat) != 0 ||
            (stat.valid & (ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD)) !=
                (ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD))
            return refuse(problem, "damaged entry: " + shown(name));
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
            return refuse(problem, "encrypted entry: " + shown(name));
        if (stat.comp_method != ZIP_CM_STORE && stat.comp_method != ZIP_CM_DEFLATE)
            return refuse(problem, "entry packed with an unusual method: " + shown(name));
        if (stat.size > kMaxLevelEntryBytes)
            return refuse(problem, "entry over 16 MiB unpacked: " + shown(name) + " (" + mebibytes(stat.size) + ")");
        total += stat.size;
        if (total > kMaxLevelBytes) return refuse(problem, "over 64 MiB unpacked in all");
        if (stat.size > kMaxCompressionRatio * stat.comp_size)
            return refuse(problem, "compression ratio over 100: " + shown(name));
        if (folder) {
            if (stat.size != 0) return refuse(problem, "damaged entry: " + shown(name));
            continue;
        }
        entries.push_back(Entry{index, name, stat.size});
    }

    std::set<std::string> fileNames;
    for (const Entry& entry : entries) fileNames.insert(lowered(entry.name));
    const std::string clash = clashProblem(fileNames);
    if (!clash.empty()) return refuse(problem, clash);

    // Unpacked no further than each entry says it holds: a header that lies is caught, not obeyed.
    LevelFiles files;
    for (const Entry& entry : entries) {
        zip_file_t* file = zip_fopen_index(archive.get(), entry.index, 0);
        if (file == nullptr)
            return refuse(problem, "damaged entry: " + shown(entry.name) + ": " + zip_strerror(archive.get()));
        std::vector<uint8_t> bytes(static_cast<size_t>(entry.size) + 1);
        uint64_t got = 0;
        zip_int64_t read = 0;
        while (got < bytes.size() &&
               (read = zip_fread(file, bytes.data() + got, bytes.size() - got)) > 0)
            got += static_cast<uint64_t>(read);
        const std::string why = read < 0 ? zip_file_strerror(file) : "";
        zip_fclose(file);
        if (read < 0) return refuse(problem, "damaged entry: " + shown(entry.name) + ": " + why);
        if (got != entry.size) return refuse(problem, "damaged entry: " + shown(entry.name) + ": wrong size");
        bytes.pop_back();
        files.emplace(entry.name, std::move(bytes));
    }

    const auto manifestBytes = files.find(kLevelManifestName);
    if (manifestBytes == files.end()) return refuse(problem, "manifest not valid: no level.json");
    LevelManifest manifest;
    if (!parseManifest(std::string(manifestBytes->second.begin(), manifestBytes->second.end()), manifest, problem))
        return false;
    files.erase(manifestBytes);
    for (const LevelFileListing& listing : manifest.files) {
        const auto found = files.find(listing.name);
        if (found == files.end()) return refuse(problem, "listed but missing: " + shown(listing.name));
        if (found->second.size() != listing.size)
            return refuse(problem, "size does not match: " + shown(listing.name));
        if (sha256Hex(found->second.data(), found->second.size()) != listing.sha256)
            return refuse(problem, "checksum does not match: " + shown(listing.name));
    }
    if (files.size() != manifest.files.size()) {
        for (const auto& entry : files) {
            const std::string& name = entry.first;
            if (std::none_of(manifest.files.begin(), manifest.files.end(),
                             [&](const LevelFileListing& listing) { return listing.name == name; }))
                return refuse(problem, "not in the manifest: " + shown(name));
        }
    }
    level.manifest = std::move(manifest);
    level.files = std::move(files);
    return true;
}

bool readLevelFileAt(const std::string& path, LevelFile& level, std::string& problem) {
    level = LevelFile{};
    std::ifstream in(path, std::ios::binary);
    if (!in) return refuse(problem, "cannot open");
    std::vector<uint8_t> bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
        if (bytes.size() > kMaxLevelBytes) return refuse(problem, "the file is larger than 64 MiB");
    }
    if (in.bad()) return refuse(problem, "cannot read");
    return readLevelFile(bytes.data(), bytes.size(), level, problem);
}

namespace {
// One pass of writing; stored lists the names kept uncompressed.
bool writeArchive(const std::string& manifestText, const LevelFiles& files, const std::set<std::string>& stored,
                  std::vector<uint8_t>& bytes, std::string& problem) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (out == nullptr) return refuse(problem, std::string("cannot pack: ") + zip_error_strerror(&error));
    zip_source_keep(out);
    zip_t* archive = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        zip_source_free(out);
        problem = std::string("cannot pack: ") + zip_error_strerror(&error);
        zip_error_fini(&error);
        return false;
    }
    zip_error_fini(&error);
    const auto add = [&](const std::string& name, const void* data, size_t size) {
        zip_source_t* source = zip_source_buffer(archive, data, size, 0);
        const zip_int64_t index = source ? zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            return false;
        }
        const zip_uint64_t at = static_cast<zip_uint64_t>(index);
        return zip_set_file_compression(archive, at, stored.count(name) ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9) == 0 &&
               zip_file_set_mtime(archive, at, kPackedTime, 0) == 0 &&
               zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_UNIX, kUnixRegularFile << 16) == 0;
    };
    bool ok = add(kLevelManifestName, manifestText.data(), manifestText.size());
    for (const auto& [name, data] : files) ok = ok && add(name, data.data(), data.size());
    if (!ok || zip_close(archive) != 0) {
        problem = std::string("cannot pack: ") + zip_strerror(archive);
        zip_discard(archive);
        zip_source_free(out);
        return false;
    }
    bytes.clear();
    if (zip_source_open(out) == 0) {
        zip_source_seek(out, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(out);
        zip_source_seek(out, 0, SEEK_SET);
        if (size > 0) {
            bytes.resize(static_cast<size_t>(size));
            if (zip_source_read(out, bytes.data(), static_cast<zip_uint64_t>(size)) != size) bytes.clear();
        }
        zip_source_close(out);
    }
    zip_source_free(out);
    if (bytes.empty()) return refuse(problem, "cannot pack: the archive could not be read back");
    return true;
}
}  // namespace

bool writeLevelFile(LevelManifest manifest, const LevelFiles& files, std::vector<uint8_t>& bytes,
                    std::string& problem) {
    manifest.files.clear();
    std::set<std::string> seen;
    for (const auto& [name, data] : files) {
        std::string why;
        if (!levelNameAllowed(name, why)) return refuse(problem, why);
        if (lowered(name) == kLevelManifestName) return refuse(problem, "a file may not be named level.json");
        if (!seen.insert(lowered(name)).second) return refuse(problem, "duplicate name: " + shown(name));
        manifest.files.push_back(LevelFileListing{name, data.size(), sha256Hex(data.data(), data.size())});
    }
    const std::string clash = clashProblem(seen);
    if (!clash.empty()) return refuse(problem, clash);
    const std::string manifestText = manifestToJson(manifest);
    // Deflate everything, except what squeezes so well that a reader would take it for a bomb.
    std::set<std::string> stored;
    if (!writeArchive(manifestText, files, stored, bytes, problem)) return false;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    zip_error_fini(&error);
    if (archive == nullptr) {
        if (source) zip_source_free(source);
        return refuse(problem, "cannot pack: the archive does not read back");
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) == 0 &&
            stat.size > kMaxCompressionRatio * stat.comp_size)
            stored.insert(stat.name);
    }
    zip_discard(archive);
    if (stored.empty()) return true;
    return writeArchive(manifestText, files, stored, bytes, problem);
}
