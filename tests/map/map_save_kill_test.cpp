// map_save_kill_test.cpp: saves killed at random moments, on a disk and on a tiny full file
// system, never leave a torn map.txt or map.txt.bak, and the next save always succeeds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "map/map_codec.h"
#include "map/map_file.h"
#include "map/map_quad.h"
#include "support/property_cases.h"

namespace {

// Saves, leaving the reason to what saveMap prints on standard error.
bool saveMapNow() {
    std::string why;
    return saveMap(why);
}

using Bytes = std::vector<uint8_t>;

// Map number `generation`: every record carries the generation, so any file can be traced back.
std::vector<QuadRecord> generationRecords(int quads, int generation) {
    std::vector<QuadRecord> records(static_cast<size_t>(quads));
    for (int i = 0; i < quads; ++i) {
        const float x = static_cast<float>(i % 200) * 48.0f, y = static_cast<float>(i / 200) * 48.0f;
        const float c[8] = {x, y, x + 40, y, x + 40, y + 40, x, y + static_cast<float>(generation)};
        std::memcpy(records[static_cast<size_t>(i)].corners, c, sizeof c);
    }
    return records;
}

// What saveMap writes for those records (it saves the quads' corners and tags, no bodies needed).
void showMap(const std::vector<QuadRecord>& records) {
    if (mapQuads().size() != records.size()) {
        clearMapQuads(false);
        for (size_t i = 0; i < records.size(); ++i) registerQuad();
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const float* c = records[i].corners;
        MapQuad& quad = getQuad(static_cast<int32_t>(i));
        for (int k = 0; k < 4; ++k) quad.vertices[k] = {c[2 * k], c[2 * k + 1]};
        quadCornersChanged(quad);
    }
}

Bytes readFile(const char* name) {
    Bytes bytes;
    if (std::FILE* in = std::fopen(name, "rb")) {
        uint8_t buffer[65536];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(in);
    }
    return bytes;
}

bool exists(const char* name) { return access(name, F_OK) == 0; }

struct KillFigures {
    long spanMicroseconds = 0;  // one unkilled save in a child, fork to exit
    int kills = 0;        // children killed while still running
    int newMapKept = 0;   // kills that came after the rename
    int tempsLeft = 0;    // kills that left a temporary file behind
};

// Runs `rounds` saves of generation 1, 2, ... in a child killed at a random moment, starting from
// map.txt = generation 0. After each kill: map.txt is the old or the new map, whole; map.txt.bak
// is a whole earlier map; then a save in this process succeeds over whatever was left.
KillFigures killDuringSaves(int quads, int rounds, unsigned seed) {
    KillFigures figures;
    showMap(generationRecords(quads, 0));
    EXPECT_TRUE(saveMapNow());
    EXPECT_TRUE(saveMapNow());  // so that a backup exists from the start
    // How long a whole save takes in a child (the quickest of three), to spread the kills over it.
    auto span = std::chrono::microseconds::max();
    for (int probe = 0; probe < 3; ++probe) {
        const auto started = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) _exit(saveMapNow() ? 0 : 1);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        span = std::min(span, std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::steady_clock::now() - started));
    }
    std::mt19937 random(seed);
    figures.spanMicroseconds = static_cast<long>(span.count());
    // Up to twice as long, so that children slowed down by a busy machine are still outlived.
    std::uniform_int_distribution<long> delay(0, 2 * span.count() + 1);

    std::map<int, Bytes> files;  // encodings of the generations still in play
    const auto fileOf = [&](int generation) -> const Bytes& {
        auto found = files.find(generation);
        if (found == files.end()) {
            found = files.emplace(generation, encodeMap(generationRecords(quads, generation))).first;
        }
        return found->second;
    };
    for (int generation = 1; generation <= rounds; ++generation) {
        const int old = generation - 1;
        const std::vector<QuadRecord> records = generationRecords(quads, generation);
        showMap(records);
        const pid_t child = fork();
        if (child == 0) _exit(saveMapNow() ? 0 : 1);
        usleep(static_cast<useconds_t>(delay(random)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFSIGNALED(status)) ++figures.kills;
        if (exists("map.txt.tmp") || exists("map.txt.bak.tmp")) ++figures.tempsLeft;

        // Whole files of a known generation: the old or new map, and an earlier backup.
        files.erase(files.begin(), files.lower_bound(old - 1));
        const Bytes map = readFile(kMapFileName);
        const bool kept = map == fileOf(old);
        if (!kept && map != fileOf(generation)) {
            ADD_FAILURE() << "map.txt is torn or foreign after kill " << generation;
            return figures;
        }
        if (!kept) ++figures.newMapKept;
        const Bytes backup = readFile("map.txt.bak");
        if (backup != fileOf(old) && backup != fileOf(old - 1)) {
            ADD_FAILURE() << "map.txt.bak is torn or not an earlier map after kill " << generation;
            return figures;
        }
        if (!saveMapNow() || readFile(kMapFileName) != fileOf(generation) ||
            readFile("map.txt.bak") != map || exists("map.txt.tmp") || exists("map.txt.bak.tmp")) {
            ADD_FAILURE() << "the save after kill " << generation << " did not succeed cleanly";
            return figures;
        }
    }
    return figures;
}

class MapSaveKillTest : public testing::Test {
protected:
    void SetUp() override {
        // In memory where there is a tmpfs: a killed process leaves the page cache as it was,
        // so the disk's sync time would only stretch the test, not change what it sees.
        char inMemory[] = "/dev/shm/kelvoran-kill-XXXXXX";
        char onDisk[] = "/tmp/kelvoran-kill-XXXXXX";
        const char* made = mkdtemp(inMemory);
        if (made == nullptr) made = mkdtemp(onDisk);
        ASSERT_NE(made, nullptr);
        directory = made;
        ASSERT_EQ(chdir(directory.c_str()), 0);
    }
    void TearDown() override {
        clearMapQuads(false);
        ASSERT_EQ(chdir("/tmp"), 0);
        if (mounted) umount2(directory.c_str(), MNT_DETACH);
        ASSERT_EQ(std::system(("rm -rf '" + directory + "'").c_str()), 0);
    }
    // A tmpfs of 16 KiB over the test folder; false where this process may not mount.
    bool mountTinyFileSystem() {
        if (chdir("/tmp") != 0) return false;
        mounted = mount("tmpfs", directory.c_str(), "tmpfs", 0, "size=16k,mode=0755") == 0;
        return chdir(directory.c_str()) == 0 && mounted;
    }
    std::string directory;
    bool mounted = false;
};

std::string saveReportingStderr(bool& saved) {
    testing::internal::CaptureStderr();
    saved = saveMapNow();
    return testing::internal::GetCapturedStderr();
}

}  // namespace

TEST_F(MapSaveKillTest, KilledSavesOfALargeMapNeverTearTheMapOrItsBackup) {
    const int saves = propertyCases(200);
    const KillFigures figures = killDuringSaves(20000, saves, 20240611u);
    std::cout << saves << " saves of 20000 quads (" << figures.spanMicroseconds
              << " us each) killed: " << figures.kills << " mid-save, "
              << figures.newMapKept << " after the swap, " << figures.tempsLeft
              << " left a temporary file" << std::endl;
    // The kills landed both before and after the swap, so both outcomes were checked.
    EXPECT_GT(figures.newMapKept, 0);
    EXPECT_LT(figures.newMapKept, saves);
}

TEST_F(MapSaveKillTest, OnATinyFullFileSystemSavesFailCleanlyAndKillsTearNothing) {
    if (!mountTinyFileSystem()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root): skipped";
    // 90 quads are 2974 bytes: one page of the four. With two maps on disk, filler files take
    // all space but one page, which is just what a save needs.
    const int quads = 90;
    showMap(generationRecords(quads, 0));
    ASSERT_TRUE(saveMapNow());
    ASSERT_TRUE(saveMapNow());
    std::vector<std::string> fillers;
    for (int i = 0;; ++i) {
        const std::string name = "filler" + std::to_string(i);
        std::ofstream out(name, std::ios::binary);
        const std::string page(4096, 'x');
        out.write(page.data(), static_cast<std::streamsize>(page.size()));
        out.close();
        if (!out) {
            unlink(name.c_str());
            break;
        }
        fillers.push_back(name);
        ASSERT_LT(i, 8) << "the tmpfs is larger than asked";
    }
    ASSERT_FALSE(fillers.empty());
    // Full: the save fails, names the file and the reason, and leaves both maps as they were.
    const Bytes map = readFile(kMapFileName), backup = readFile("map.txt.bak");
    showMap(generationRecords(quads, 1));
    bool saved = true;
    const std::string err = saveReportingStderr(saved);
    EXPECT_FALSE(saved);
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_NE(err.find("Map not saved: cannot write map.txt.tmp: No space left on device"),
              std::string::npos) << err;
    EXPECT_EQ(readFile(kMapFileName), map);
    EXPECT_EQ(readFile("map.txt.bak"), backup);
    EXPECT_FALSE(exists("map.txt.tmp"));

    // One page free: killed saves behave as on a large disk.
    unlink(fillers.back().c_str());
    const KillFigures figures = killDuringSaves(quads, 200, 7u);
    std::cout << "200 saves on a 16 KiB tmpfs with one page free killed: " << figures.kills << " mid-save, "
              << figures.tempsLeft << " left a temporary file" << std::endl;

    // Read-only: refused with its reason, nothing changes.
    ASSERT_EQ(mount("tmpfs", directory.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=16k"), 0);
    const Bytes last = readFile(kMapFileName);
    showMap(generationRecords(quads, 999));
    const std::string readOnly = saveReportingStderr(saved);
    EXPECT_FALSE(saved);
    EXPECT_NE(readOnly.find("Map not saved: cannot create map.txt.tmp: Read-only file system"),
              std::string::npos) << readOnly;
    EXPECT_EQ(readFile(kMapFileName), last);
}
