// Level files: whatever a stranger's archive holds, the reader refuses it with one line and
// writes nothing, or accepts exactly the files its manifest lists.
#include <zip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "level/level_file.h"
#include "level/sha256.h"

namespace {
using Bytes = std::vector<uint8_t>;

struct RawEntry {
    std::string name;
    Bytes data;
    bool deflate = true;
    uint32_t unixMode = 0100644;
};

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

LevelManifest sampleManifest() {
    LevelManifest manifest;
    manifest.id = "sample";
    manifest.title = "Sample";
    manifest.author = "Tester";
    manifest.licence = "CC0";
    manifest.game = levelGameVersion();
    return manifest;
}

LevelFiles sampleFiles(std::mt19937& random) {
    LevelFiles files;
    std::uniform_int_distribution<int> byte(0, 255), length(0, 3000);
    for (const char* name : {"map.txt", "thumbnail.png", "map.lua", "art/crate.png", "knock.wav"}) {
        Bytes data(static_cast<size_t>(length(random)));
        for (uint8_t& b : data) b = static_cast<uint8_t>(byte(random));
        files[name] = data;
    }
    return files;
}

// The manifest listing exactly files, as writeLevelFile would make it.
std::string manifestFor(LevelManifest manifest, const std::vector<RawEntry>& entries) {
    manifest.files.clear();
    for (const RawEntry& entry : entries)
        manifest.files.push_back({entry.name, entry.data.size(), sha256Hex(entry.data.data(), entry.data.size())});
    return manifestToJson(manifest);
}

// Any archive at all: names are written as placeholders of the same length and patched in
// afterwards, so that libzip's own rules on names (one per name) do not stand in the way.
Bytes rawZip(const std::vector<RawEntry>& entries) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(out);
    zip_t* archive = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    std::vector<std::string> placeholders;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string placeholder = "#" + std::to_string(i) + "#";
        placeholder.resize(std::max(entries[i].name.size(), placeholder.size()), '~');
        placeholders.push_back(placeholder);
        zip_source_t* source = zip_source_buffer(archive, entries[i].data.data(), entries[i].data.size(), 0);
        const zip_int64_t index = zip_file_add(archive, placeholder.c_str(), source, 0);
        const zip_uint64_t at = static_cast<zip_uint64_t>(index);
        zip_set_file_compression(archive, at, entries[i].deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 1);
        zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_UNIX, entries[i].unixMode << 16);
    }
    zip_close(archive);
    Bytes bytes;
    zip_source_open(out);
    zip_source_seek(out, 0, SEEK_END);
    bytes.resize(static_cast<size_t>(zip_source_tell(out)));
    zip_source_seek(out, 0, SEEK_SET);
    zip_source_read(out, bytes.data(), bytes.size());
    zip_source_close(out);
    zip_source_free(out);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name.size() != placeholders[i].size()) continue;  // too short: kept as written
        for (auto at = std::search(bytes.begin(), bytes.end(), placeholders[i].begin(), placeholders[i].end());
             at != bytes.end(); at = std::search(at, bytes.end(), placeholders[i].begin(), placeholders[i].end()))
            at = std::copy(entries[i].name.begin(), entries[i].name.end(), at);
    }
    return bytes;
}

// A whole level as raw entries: the manifest first, then files.
std::vector<RawEntry> rawLevel(const LevelFiles& files) {
    std::vector<RawEntry> entries;
    for (const auto& [name, data] : files) entries.push_back({name, data});
    std::vector<RawEntry> level{{kLevelManifestName, bytesOf(manifestFor(sampleManifest(), entries))}};
    level.insert(level.end(), entries.begin(), entries.end());
    return level;
}

struct Verdict {
    bool accepted;
    std::string problem;
};

// Reads bytes and checks what holds for every input: one line when refused, nothing kept,
// nothing written; exactly the listed, checked files when accepted.
Verdict readChecked(const Bytes& bytes) {
    LevelFile level;
    std::string problem;
    const bool accepted = readLevelFile(bytes.data(), bytes.size(), level, problem);
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::current_path())) << "the reader wrote a file";
    if (!accepted) {
        EXPECT_FALSE(problem.empty());
        EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
        EXPECT_TRUE(level.files.empty());
        return {false, problem};
    }
    EXPECT_EQ(level.files.size(), level.manifest.files.size());
    for (const LevelFileListing& listing : level.manifest.files) {
        const Bytes* data = level.find(listing.name);
        EXPECT_TRUE(data && sha256Hex(data->data(), data->size()) == listing.sha256) << listing.name;
        std::string why;
        EXPECT_TRUE(levelNameAllowed(listing.name, why)) << why;
    }
    return {true, ""};
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
}  // namespace

TEST(LevelFile, AKnownDigest) {
    const Bytes abc = bytesOf("abc");
    EXPECT_EQ(sha256Hex(abc.data(), abc.size()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(LevelFile, WrittenLevelsReadBackToTheSameFiles) {
    std::mt19937 random(1);
    for (int round = 0; round < 20; ++round) {
        const LevelFiles files = sampleFiles(random);
        Bytes bytes, again;
        std::string problem;
        LevelManifest manifest = sampleManifest();
        manifest.script = "map.lua";
        ASSERT_TRUE(writeLevelFile(manifest, files, bytes, problem)) << problem;
        ASSERT_TRUE(writeLevelFile(manifest, files, again, problem)) << problem;
        EXPECT_EQ(bytes, again) << "the same level packs to the same bytes";
        LevelFile level;
        ASSERT_TRUE(readLevelFile(bytes.data(), bytes.size(), level, problem)) << problem;
        EXPECT_EQ(level.files, files);
        EXPECT_EQ(level.manifest.script, "map.lua");
    }
}

// Many hostile archives, each built from a sound level by one kind of harm, each refused with
// the reason for that harm; cuts and flipped bytes are refused or read whole, never more.
TEST(LevelFile, HostileArchivesAreRefusedEachWithItsReason) {
    std::mt19937 random(7);
    int refused = 0, cutOrFlipped = 0;
    for (int round = 0; round < 400; ++round) {
        const LevelFiles files = sampleFiles(random);
        std::vector<RawEntry> level = rawLevel(files);
        const size_t victim = 1 + random() % (level.size() - 1);
        std::string expected;
        switch (round % 10) {
            case 0: {
                const char* escapes[] = {"../map.txt", "art/../../x.png", "../..", "a/../../../etc/passwd"};
                level[victim].name = escapes[random() % 4];
                expected = "path escapes the level";
                break;
            }
            case 1:
                level[victim].name = "/tmp/" + level[victim].name;
                expected = "absolute path";
                break;
            case 2:
                level[victim].unixMode = 0120777;
                expected = "symbolic link";
                break;
            case 3:
                level.push_back(level[victim]);
                expected = "duplicate name";
                break;
            case 4:
                level.push_back({level[victim].name, Bytes(3, 1)});
                for (char& c : level.back().name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                expected = "duplicate name";
                break;
            case 5:
                level[victim].data.assign(200000 + random() % 100000, static_cast<uint8_t>(random()));
                expected = "compression ratio over 100";
                break;
            case 6: {
                // The file changed after its listing was made.
                Bytes& data = level[victim].data;
                data.push_back(1);
                level[0].data = bytesOf(manifestFor(sampleManifest(), {level.begin() + 1, level.end()}));
                data.back() = 2;
                expected = "checksum does not match";
                break;
            }
            case 7: {
                std::string manifest(level[0].data.begin(), level[0].data.end());
                const char* breaks[][2] = {{"\"format\": 1", "\"format\": 9"}, {"\"id\": \"sample\"", "\"id\": \"../x\""},
                                           {"\"title\": \"Sample\"", "\"title\": 7"}, {"{", "["},
                                           {"\"map\":\"map.txt\"", "\"map\":\"gone.txt\""}};
                const auto& harm = breaks[random() % 5];
                manifest.replace(manifest.find(harm[0]), std::string(harm[0]).size(), harm[1]);
                level[0].data = bytesOf(manifest);
                expected = "manifest not valid";
                break;
            }
            default:
                break;
        }
        Bytes bytes = rawZip(level);
        if (round % 10 >= 8) {
            // Cut anywhere, or a few bytes flipped anywhere: the checks above still hold.
            if (round % 10 == 8) bytes.resize(random() % bytes.size());
            for (int flips = 0; round % 10 == 9 && flips < 4; ++flips) bytes[random() % bytes.size()] ^= 1 + random() % 255;
            readChecked(bytes);
            ++cutOrFlipped;
            continue;
        }
        const Verdict verdict = readChecked(bytes);
        EXPECT_FALSE(verdict.accepted) << "round " << round << " expected: " << expected;
        EXPECT_TRUE(startsWith(verdict.problem, expected)) << "round " << round << ": " << verdict.problem;
        refused += verdict.accepted ? 0 : 1;
    }
    EXPECT_EQ(refused, 320);
    EXPECT_EQ(cutOrFlipped, 80);
}

TEST(LevelFile, TooManyEntriesAndTooMuchUnpackedAreRefused) {
    LevelFiles many;
    for (int i = 0; i < 257; ++i) many["f" + std::to_string(i) + ".png"] = Bytes(1, 1);
    many["map.txt"] = many["thumbnail.png"] = Bytes(1, 1);
    EXPECT_TRUE(startsWith(readChecked(rawZip(rawLevel(many))).problem, "too many entries"));

    std::mt19937 random(3);
    Bytes noise((kMaxLevelEntryBytes) + 1);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
    std::vector<RawEntry> big = rawLevel({{"map.txt", Bytes(1, 1)}, {"thumbnail.png", Bytes(1, 1)}});
    big.push_back({"big.wav", noise, false});
    EXPECT_TRUE(startsWith(readChecked(rawZip(big)).problem, "entry over 16 MiB unpacked"));

    // Squeezed about twofold, so the file stays within its own limit while its contents do not.
    noise.resize(kMaxLevelEntryBytes - 1);
    for (uint8_t& b : noise) b &= 15;
    big.pop_back();
    for (int i = 0; i < 4; ++i) big.push_back({"part" + std::to_string(i) + ".wav", noise});
    const std::string problem = readChecked(rawZip(big)).problem;
    EXPECT_TRUE(startsWith(problem, "over 64 MiB unpacked in all")) << problem;
}

// A header that claims less than the entry holds is caught by the size, not trusted.
TEST(LevelFile, AnEntryLongerThanItsHeaderSaysIsRefused) {
    const std::string extra = "0123456789";
    std::vector<RawEntry> level = rawLevel({{"map.txt", bytesOf(extra)}, {"thumbnail.png", Bytes(1, 1)}});
    level[1].deflate = false;
    Bytes bytes = rawZip(level);
    // Both size fields of map.txt's central record: 4 bytes each, 10 -> 5.
    const std::string name = "map.txt";
    auto central = std::find_end(bytes.begin(), bytes.end(), name.begin(), name.end());
    ASSERT_NE(central, bytes.end());
    const size_t record = static_cast<size_t>(central - bytes.begin()) - 46;
    ASSERT_EQ(bytes[record], 0x50);  // "PK\1\2"
    bytes[record + 20] = 5;
    bytes[record + 24] = 5;
    const Verdict verdict = readChecked(bytes);
    EXPECT_FALSE(verdict.accepted);
}
