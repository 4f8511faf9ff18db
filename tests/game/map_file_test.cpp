// map_file_test.cpp: map.txt bytes, loader console lines, damaged files, safe saving, reloads.
#include <box2d/box2d.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "game/game.h"
#include "game/map_loading.h"
#include "map/map_file.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {

// Saves, leaving the reason to what saveMap prints on standard error.
bool saveMapNow() {
    std::string why;
    return saveMap(why);
}

using Bytes = std::vector<unsigned char>;

void appendFloat(Bytes& bytes, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(bits >> (8 * i)));
}

void appendRecord(Bytes& bytes, const float corners[8], unsigned char tag = 0) {
    for (int k = 0; k < 8; ++k) appendFloat(bytes, corners[k]);
    bytes.push_back(tag);
}

Bytes readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& name, const Bytes& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool exists(const std::string& name) {
    struct stat info;
    return stat(name.c_str(), &info) == 0;
}

const float kSquare[8] = {30, 30, 70, 30, 70, 70, 30, 70};
const float kWide[8] = {-400, 200, 500, 200, 500, 260, -400, 260};
const float kThird[8] = {100.5f, -20.25f, 180, -20.25f, 170, 10, 110, 10};

class MapFileTest : public testing::Test {
protected:
    void SetUp() override {
        shutdownGame(false);  // no world, quads or sheets left by earlier tests in this process
        directory = enterTempFolder("kelvoran-map");
        captureStdout([] { loadAllTextures(loadNoImage); });
    }
    void TearDown() override { leaveTempFolder(directory); }

    static MapQuad& addQuad(const float c[8]) {
        auto* quad = &registerQuad();
        setGeometry(*quad, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
        return *quad;
    }
    static std::string load() { return captureStdout(loadMap); }

    std::string directory;
};

void expectCorners(const MapQuad& quad, const float c[8]) {
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(quad.vertices[k].x, c[2 * k]) << "corner " << k;
        EXPECT_EQ(quad.vertices[k].y, c[2 * k + 1]) << "corner " << k;
    }
}

}  // namespace

TEST_F(MapFileTest, EmptyMapSavesFourZeroBytesAndLoadsWithFourLines) {
    createWorld();
    saveMapNow();
    EXPECT_EQ(readFile("map.txt"), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(load(), "Loading map.txt\nFile exist\nFind 0 quads\nEnd of loading\n");
    EXPECT_EQ(getQuadCount(), 0);
}

TEST_F(MapFileTest, ThreeQuadsMake103BytesAndSevenLines) {
    createWorld();
    addQuad(kSquare);
    addQuad(kWide);
    addQuad(kThird);
    mapQuads()[1].tag = true;
    saveMapNow();
    Bytes expected;
    appendFloat(expected, 3.0f);
    appendRecord(expected, kSquare);
    appendRecord(expected, kWide, 1);
    appendRecord(expected, kThird);
    ASSERT_EQ(expected.size(), 103u);
    EXPECT_EQ(readFile("map.txt"), expected);

    EXPECT_EQ(load(),
              "Loading map.txt\nFile exist\nFind 3 quads\n"
              "1.(30,30,70,30,70,70,30,70,0)\n"
              "2.(-400,200,500,200,500,260,-400,260,1)\n"
              "3.(100.5,-20.25,180,-20.25,170,10,110,10,0)\n"
              "End of loading\n");
    ASSERT_EQ(getQuadCount(), 3);
    EXPECT_FALSE(mapQuads()[1].tag);  // the byte is echoed, not kept
}

TEST_F(MapFileTest, StartUpLoadCreatesTheWorldAndLoadedQuadsHaveTheirDefaults) {
    Bytes file;
    appendFloat(file, 1.0f);
    appendRecord(file, kSquare);
    writeFile("map.txt", file);
    ASSERT_EQ(getWorld(), nullptr);
    load();
    ASSERT_NE(getWorld(), nullptr);
    ASSERT_EQ(getQuadCount(), 1);
    const MapQuad& quad = getQuad(0);
    expectCorners(quad, kSquare);
    EXPECT_EQ(quad.texCoords[2].x, 1.0f);
    EXPECT_EQ(quad.texCoords[2].y, 1.0f);
    EXPECT_EQ(quad.texCoords[3].x, 0.0f);
    EXPECT_EQ(quad.texCoords[3].y, 1.0f);
    EXPECT_TRUE(quad.textured);
    EXPECT_EQ(quad.editMode, -1);
    ASSERT_NE(quad.fixture, nullptr);
    EXPECT_EQ(quad.fixture->GetBody()->GetWorld(), getWorld());
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);
}

TEST_F(MapFileTest, SaveThenLoadReproducesCornersBitForBit) {
    createWorld();
    const float odd[8] = {1.0f / 3.0f, 0.1f, 40.000004f, 0.1f, 40.000004f, 17.7f, 1.0f / 3.0f, 17.7f};
    const float slanted[8] = {-1e-3f, -250.125f, 333.3f, -260.7f, 300.01f, -100.99f, 7.77e-2f, -90.5f};
    addQuad(odd);
    addQuad(slanted);
    std::vector<Vec2f> saved;
    for (const auto& quad : mapQuads()) saved.insert(saved.end(), quad.vertices, quad.vertices + 4);
    saveMapNow();
    const Bytes bytes = readFile("map.txt");
    ASSERT_EQ(bytes.size(), 4u + 2 * 33);
    EXPECT_EQ(bytes[4 + 32], 0);
    EXPECT_EQ(bytes[4 + 33 + 32], 0);

    load();
    ASSERT_EQ(getQuadCount(), 2);
    for (int q = 0; q < 2; ++q) {
        for (int k = 0; k < 4; ++k) {
            const Vec2f v = getQuad(q).vertices[k];
            EXPECT_EQ(std::memcmp(&v, &saved[q * 4 + k], sizeof v), 0) << "quad " << q << " corner " << k;
        }
    }
}

TEST_F(MapFileTest, FractionalCountReadsOneMoreRecordAndNegativeOrNanReadsNone) {
    Bytes file;
    appendFloat(file, 2.5f);
    for (int i = 0; i < 4; ++i) appendRecord(file, kSquare);
    writeFile("map.txt", file);
    const std::string out = load();
    EXPECT_NE(out.find("Find 2.5 quads\n"), std::string::npos);
    EXPECT_NE(out.find("3.(30,30,70,30,70,70,30,70,0)\nEnd of loading\n"), std::string::npos);
    EXPECT_EQ(getQuadCount(), 3);

    std::memcpy(file.data(), "\x00\x00\x80\xbf", 4);  // -1
    writeFile("map.txt", file);
    EXPECT_EQ(load(), "Loading map.txt\nFile exist\nFind -1 quads\nEnd of loading\n");
    EXPECT_EQ(getQuadCount(), 0);  // the reload cleared the earlier map

    std::memcpy(file.data(), "\x00\x00\xc0\x7f", 4);  // quiet NaN
    writeFile("map.txt", file);
    EXPECT_EQ(load(), "Loading map.txt\nFile exist\nFind nan quads\nEnd of loading\n");
    EXPECT_EQ(getQuadCount(), 0);
}

TEST_F(MapFileTest, HugeCountStopsAtTheEndOfTheData) {
    Bytes file;
    appendFloat(file, 1e30f);
    appendRecord(file, kSquare);
    appendRecord(file, kWide);
    writeFile("map.txt", file);
    EXPECT_EQ(load(),
              "Loading map.txt\nFile exist\nFind 1e+30 quads\n"
              "1.(30,30,70,30,70,70,30,70,0)\n"
              "2.(-400,200,500,200,500,260,-400,260,0)\n"
              "End of loading\n");
    EXPECT_EQ(getQuadCount(), 2);

    std::memcpy(file.data(), "\x00\x00\x80\x7f", 4);  // +infinity
    writeFile("map.txt", file);
    EXPECT_NE(load().find("Find inf quads\n"), std::string::npos);
    EXPECT_EQ(getQuadCount(), 2);
}

TEST_F(MapFileTest, TruncatedRecordAndTruncatedCountBuildNothingFromMissingBytes) {
    Bytes file;
    appendFloat(file, 3.0f);
    appendRecord(file, kSquare);
    appendRecord(file, kWide);
    file.resize(file.size() - 1);  // the tag byte of record 2 is missing
    writeFile("map.txt", file);
    EXPECT_EQ(load(),
              "Loading map.txt\nFile exist\nFind 3 quads\n"
              "1.(30,30,70,30,70,70,30,70,0)\n"
              "End of loading\n");
    EXPECT_EQ(getQuadCount(), 1);

    writeFile("map.txt", Bytes({0x00, 0x00}));  // half a count
    EXPECT_EQ(load(), "Loading map.txt\nFile exist\nFind 0 quads\nEnd of loading\n");
    EXPECT_EQ(getQuadCount(), 0);
}

TEST_F(MapFileTest, InvalidRecordStillMakesABodilessQuadWithZeroCorners) {
    Bytes file;
    appendFloat(file, 1.0f);
    const float reversed[8] = {30, 30, 30, 70, 70, 70, 70, 30};
    appendRecord(file, reversed);
    writeFile("map.txt", file);
    EXPECT_NE(load().find("1.(30,30,30,70,70,70,70,30,0)\n"), std::string::npos);
    ASSERT_EQ(getQuadCount(), 1);
    const float zero[8] = {};
    expectCorners(getQuad(0), zero);
    EXPECT_EQ(getQuad(0).fixture, nullptr);
}

TEST_F(MapFileTest, MissingFileAtStartUpPrintsOneLineAndLeavesAnEmptyMapWithGround) {
    EXPECT_EQ(load(), "Loading map.txt\n");
    ASSERT_NE(getWorld(), nullptr);
    EXPECT_EQ(getWorld()->GetBodyCount(), 1);
    EXPECT_EQ(getQuadCount(), 0);
}

TEST_F(MapFileTest, FailedReloadLeavesMapAndWorldAsTheyWere) {
    Bytes file;
    appendFloat(file, 1.0f);
    appendRecord(file, kSquare);
    writeFile("map.txt", file);
    load();
    b2World* world = getWorld();
    ASSERT_EQ(getQuadCount(), 1);
    ASSERT_EQ(unlink("map.txt"), 0);
    EXPECT_EQ(load(), "Loading map.txt\n");
    EXPECT_EQ(getWorld(), world);
    ASSERT_EQ(getQuadCount(), 1);
    EXPECT_EQ(getQuad(0).fixture->GetBody()->GetWorld(), world);

    ASSERT_EQ(mkdir("map.txt", 0755), 0);  // a folder where the map should be
    EXPECT_EQ(load(), "Loading map.txt\n");
    EXPECT_EQ(getWorld(), world);
    EXPECT_EQ(getQuadCount(), 1);
}

TEST_F(MapFileTest, ReloadReplacesWorldAndMapWithTheFilesQuads) {
    createWorld();
    addQuad(kSquare);
    addQuad(kWide);
    saveMapNow();
    addQuad(kThird);  // unsaved: gone after the reload
    b2World* before = getWorld();
    load();
    EXPECT_NE(getWorld(), before);
    ASSERT_EQ(getQuadCount(), 2);
    expectCorners(getQuad(0), kSquare);
    expectCorners(getQuad(1), kWide);
    for (const auto& quad : mapQuads()) EXPECT_EQ(quad.fixture->GetBody()->GetWorld(), getWorld());
    EXPECT_EQ(getWorld()->GetBodyCount(), 2);  // the ground and the quads' shared body
    getWorld()->Step(0.01f, 5, 6);
}

TEST_F(MapFileTest, RandomFilesNeverCrashNorBuildQuadsFromUnreadBytes) {
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> records(0, 6);
    std::uniform_int_distribution<int> style(0, 3);
    std::uniform_real_distribution<float> coordinate(-600.0f, 600.0f);
    createWorld();
    std::streambuf* console = std::cout.rdbuf();
    for (int n = 0; n < 3000; ++n) {
        Bytes file;
        const int full = records(random);
        const int kind = style(random);
        float count;
        if (kind == 0) {
            for (int i = 0; i < 4; ++i) file.push_back(static_cast<unsigned char>(byte(random)));
            std::memcpy(&count, file.data(), 4);
        } else {
            count = static_cast<float>(records(random)) + (kind == 3 ? 0.5f : 0.0f);
            appendFloat(file, count);
        }
        std::vector<std::vector<float>> written;
        for (int r = 0; r < full; ++r) {
            float corners[8];
            for (float& c : corners) {
                if (kind == 0) {
                    unsigned char raw[4];
                    for (unsigned char& b : raw) b = static_cast<unsigned char>(byte(random));
                    std::memcpy(&c, raw, 4);
                } else {
                    c = coordinate(random);
                }
            }
            appendRecord(file, corners, static_cast<unsigned char>(byte(random)));
            written.emplace_back(corners, corners + 8);
        }
        file.resize(file.size() - static_cast<size_t>(std::uniform_int_distribution<int>(0, 40)(random)) %
                                      (file.size() + 1));
        const int complete = file.size() < 4 ? 0 : static_cast<int>((file.size() - 4) / 33);
        if (file.size() < 4) count = 0.0f;
        writeFile("map.txt", file);

        std::ostringstream out;
        std::cout.rdbuf(out.rdbuf());
        loadMap();
        std::cout.rdbuf(console);

        int expected = 0;
        while (static_cast<double>(count) > expected && expected < complete) ++expected;
        ASSERT_EQ(getQuadCount(), expected) << "file " << n;
        for (int q = 0; q < expected; ++q) {
            const MapQuad& quad = getQuad(q);
            const bool fromFile = std::memcmp(quad.vertices, written[q].data(), 32) == 0;
            const float zero[8] = {};
            const bool untouched = std::memcmp(quad.vertices, zero, 32) == 0;
            EXPECT_TRUE(fromFile || untouched) << "file " << n << " quad " << q;
            if (quad.fixture != nullptr) {
                EXPECT_TRUE(isValidBodyPolygon(quad.vertices));
            }
        }
        const std::string text = out.str();
        EXPECT_EQ(text.rfind("End of loading\n"), text.size() - 15) << "file " << n;
    }
}

TEST_F(MapFileTest, SaveKeepsThePreviousMapAsBackup) {
    createWorld();
    addQuad(kSquare);
    saveMapNow();
    const Bytes first = readFile("map.txt");
    addQuad(kWide);
    saveMapNow();
    EXPECT_EQ(readFile("map.txt.bak"), first);
    EXPECT_EQ(readFile("map.txt").size(), 4u + 2 * 33);
    EXPECT_FALSE(exists("map.txt.tmp"));
}

TEST_F(MapFileTest, SaveThatCannotWriteKeepsTheOldFileAndSaysSoOnceOnStandardError) {
    createWorld();
    addQuad(kSquare);
    saveMapNow();
    const Bytes old = readFile("map.txt");
    addQuad(kWide);
    ASSERT_EQ(mkdir("map.txt.tmp", 0755), 0);  // the temporary cannot be created
    testing::internal::CaptureStderr();
    const std::string out = captureStdout(saveMapNow);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "");
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1);
    EXPECT_EQ(readFile("map.txt"), old);
}

TEST_F(MapFileTest, SaveOverADirectoryFailsOnceAndLeavesItAlone) {
    createWorld();
    addQuad(kSquare);
    ASSERT_EQ(mkdir("map.txt", 0755), 0);
    testing::internal::CaptureStderr();
    const std::string out = captureStdout(saveMapNow);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "");
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1);
    struct stat info;
    ASSERT_EQ(stat("map.txt", &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_FALSE(exists("map.txt.tmp"));
}

namespace {
// Loads with both streams captured; the alarm turns a load blocked in open into a failure.
std::pair<std::string, std::string> loadCapturingBoth() {
    testing::internal::CaptureStderr();
    alarm(10);
    const std::string out = captureStdout(loadMap);
    alarm(0);
    return {out, testing::internal::GetCapturedStderr()};
}

void expectOneLineNaming(const std::string& err, const std::string& reason) {
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_EQ(err.rfind("map.txt not loaded: ", 0), 0u) << err;
    EXPECT_NE(err.find(reason), std::string::npos) << err;
}
}  // namespace

// A pipe, a folder or a socket named map.txt is no map: it never blocks the game, at start-up or
// on a reload, and each says so in one line on standard error while the console stays as it was.
TEST_F(MapFileTest, AnythingButARegularFileIsReportedAndNeverBlocks) {
    struct Case {
        const char* reason;
        int (*make)();
    };
    const Case cases[] = {
        {"named pipe", [] { return mkfifo("map.txt", 0644); }},
        {"directory", [] { return mkdir("map.txt", 0755); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ASSERT_EQ(c.make(), 0);
        auto [out, err] = loadCapturingBoth();  // start-up
        EXPECT_EQ(out, "Loading map.txt\n");
        expectOneLineNaming(err, c.reason);
        EXPECT_NE(err.find("starts empty"), std::string::npos) << err;
        ASSERT_NE(getWorld(), nullptr);
        EXPECT_EQ(getQuadCount(), 0);

        ASSERT_EQ(std::system("rm -rf map.txt"), 0);
        Bytes file;
        appendFloat(file, 1.0f);
        appendRecord(file, kSquare);
        writeFile("map.txt", file);
        loadCapturingBoth();
        b2World* world = getWorld();
        ASSERT_EQ(std::system("rm -rf map.txt"), 0);
        ASSERT_EQ(c.make(), 0);
        std::tie(out, err) = loadCapturingBoth();  // reload
        EXPECT_EQ(out, "Loading map.txt\n");
        expectOneLineNaming(err, c.reason);
        EXPECT_NE(err.find("current map stays"), std::string::npos) << err;
        EXPECT_EQ(getWorld(), world);
        EXPECT_EQ(getQuadCount(), 1);

        // Saving never replaces it either, and says so.
        testing::internal::CaptureStderr();
        EXPECT_FALSE(saveMapNow());
        err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.rfind("Map not saved: ", 0), 0u) << err;
        EXPECT_NE(err.find("map.txt"), std::string::npos) << err;
        EXPECT_FALSE(exists("map.txt.tmp"));
        EXPECT_FALSE(exists("map.txt.bak.tmp"));

        clearMapQuads(true);
        destroyWorld();
        ASSERT_EQ(std::system("rm -rf map.txt"), 0);
    }
}
