// kelvoran_map_test.cpp: the map tool: the exact JSON round trip, every problem check reports,
// --fix, the picture, and the command line's exit statuses, mostly through the built program.
#include <cairo.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "kelvoran_map/json_form.h"
#include "map/map_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;

class MapTool : public ::testing::Test {
protected:
    std::string folder;

    void SetUp() override {
        char pattern[] = "/tmp/kelvoran-map-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    std::string path(const std::string& name) const { return folder + "/" + name; }

    void write(const std::string& name, const Bytes& bytes) const {
        std::ofstream out(path(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    Bytes read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string readText(const std::string& name) const {
        const Bytes bytes = read(name);
        return std::string(bytes.begin(), bytes.end());
    }

    struct Result {
        int status;
        std::string out, err;
    };
    // Runs the program with arguments (already shell-quoted where needed) inside the folder.
    Result run(const std::string& arguments) const {
        const std::string command = "cd '" + folder + "' && '" KELVORAN_MAP_TOOL "' " + arguments +
                                    " >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText("stdout.txt"), readText("stderr.txt")};
    }
};

QuadRecord quad(std::vector<float> corners, uint8_t tag = 0) {
    QuadRecord record;
    for (int i = 0; i < 8; ++i) record.corners[i] = corners[static_cast<size_t>(i)];
    record.tag = tag;
    return record;
}

const QuadRecord kSquare = quad({30, 30, 70, 30, 70, 70, 30, 70});

float floatOfBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Float bits with the awkward values well represented: NaNs of any payload and sign (quiet and
// signalling), infinities, both zeros, denormals, whole numbers and anything at all.
uint32_t randomFloatBits(std::mt19937& rng) {
    std::uniform_int_distribution<uint32_t> any;
    switch (rng() % 8) {
        case 0: return 0x7f800000u | (any(rng) & 0x807fffffu) | 1u;  // NaN
        case 1: return rng() % 2 ? 0x7f800000u : 0xff800000u;          // +-inf
        case 2: return rng() % 2 ? 0x00000000u : 0x80000000u;          // +-0
        case 3: return any(rng) & 0x807fffffu;                         // denormal
        case 4: {
            const float whole = static_cast<float>(static_cast<int32_t>(rng() % 4001) - 2000);
            uint32_t bits;
            std::memcpy(&bits, &whole, sizeof bits);
            return bits;
        }
        default: return any(rng);
    }
}

Bytes randomMapFile(std::mt19937& rng) {
    Bytes bytes;
    if (rng() % 10 == 0) {  // plain garbage of any length, shorter than a count included
        bytes.resize(rng() % 120);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
        return bytes;
    }
    std::vector<QuadRecord> records(rng() % 6);
    for (QuadRecord& record : records) {
        for (float& c : record.corners) c = floatOfBits(randomFloatBits(rng));
        record.tag = static_cast<uint8_t>(rng());
    }
    // A count that matches, a near miss, or any float at all.
    const uint32_t pick = rng() % 3;
    const float count = pick == 0   ? static_cast<float>(records.size())
                        : pick == 1 ? static_cast<float>(records.size()) + 0.5f * static_cast<float>(rng() % 5) - 1.0f
                                    : floatOfBits(randomFloatBits(rng));
    bytes = encodeMap(count, records);
    for (uint32_t extra = rng() % 3 == 0 ? rng() % 70 : 0; extra > 0; --extra) {
        bytes.push_back(static_cast<uint8_t>(rng()));
    }
    return bytes;
}

TEST(MapToolJson, AnyFileComesBackByteForByte) {
    std::mt19937 rng(14);
    for (int i = 0; i < 600; ++i) {
        const Bytes file = randomMapFile(rng);
        const std::string text = mapBytesToJson(file);
        Bytes back;
        std::string error;
        ASSERT_TRUE(mapBytesFromJson(text, back, error)) << error << "\n" << text;
        ASSERT_EQ(back, file) << text;
    }
}

TEST(MapToolJson, FloatsHaveTheDocumentedForm) {
    EXPECT_EQ(floatToJson(30.0f).dump(), "30");
    EXPECT_EQ(floatToJson(0.1f).dump(), "0.1");
    EXPECT_EQ(floatToJson(-0.0f).dump(), "-0.0");
    EXPECT_EQ(floatToJson(std::numeric_limits<float>::infinity()).dump(), "\"inf\"");
    EXPECT_EQ(floatToJson(-std::numeric_limits<float>::infinity()).dump(), "\"-inf\"");
    EXPECT_EQ(floatToJson(floatOfBits(0xffa00001u)).dump(), "\"nan:0xffa00001\"");
    // What people write by hand: missing count and tag, decimals that are no exact float.
    Bytes bytes;
    std::string error;
    ASSERT_TRUE(mapBytesFromJson(R"({"quads": [{"corners": [[30,30],[70,30],[70,70],[30,70.1]]}]})",
                                 bytes, error));
    EXPECT_EQ(bytes, encodeMap({quad({30, 30, 70, 30, 70, 70, 30, 70.1f})}));
    for (const char* bad : {R"({"quads": [{"corners": [[1,2],[3,4],[5,6]]}]})",
                            R"({"quads": [], "cout": 0})", R"({"quads": [{"corners": [[1,2],[3,4],[5,6],[7,"nan"]]}]})",
                            R"({"quads": [{"corners": [[1,2],[3,4],[5,6],[7,1e39]]}]})",
                            R"({"quads": [], "trailing": "abc"})", R"({"quads": [)"}) {
        EXPECT_FALSE(mapBytesFromJson(bad, bytes, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST_F(MapTool, RoundTripThroughTheProgram) {
    std::mt19937 rng(41);
    std::vector<Bytes> files;
    for (int i = 0; i < 8; ++i) files.push_back(randomMapFile(rng));
    std::ifstream starter(KELVORAN_ASSETS "/map.txt", std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(starter), std::istreambuf_iterator<char>());
    for (const Bytes& file : files) {
        write("in.bin", file);
        ASSERT_EQ(run("to-json in.bin").status, 0);
        std::rename(path("stdout.txt").c_str(), path("map.json").c_str());
        ASSERT_EQ(run("from-json map.json out.bin").status, 0);
        EXPECT_EQ(read("out.bin"), file);
        ASSERT_EQ(run("to-json in.bin | '" KELVORAN_MAP_TOOL "' from-json - piped.bin").status, 0);
        EXPECT_EQ(read("piped.bin"), file);
    }
}

TEST_F(MapTool, CheckReportsEveryKindOfProblem) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Bytes sound = encodeMap({kSquare});
    Bytes tooLong = sound;
    tooLong.push_back(7);
    struct Case {
        Bytes file;
        std::string lines;
    };
    const std::vector<Case> cases = {
        {encodeMap(3.0f, {kSquare, kSquare}),
         "file: count 3 does not match the length of 70 bytes (records read: 2, bytes left over: 0)\n"
         "quad 2: duplicate of quad 1\n"},
        {tooLong, "file: count 1 does not match the length of 38 bytes (records read: 1, bytes left over: 1)\n"},
        {Bytes{0, 0}, "file: 2 bytes, too short to hold the quad count\n"},
        {encodeMap({quad({30, 30, 30, 70, 70, 70, 70, 30})}), "quad 1: rejected (wrong winding)\n"},
        {encodeMap({quad({30, 30, 70, 30, 50, 40, 30, 70})}), "quad 1: rejected (not convex)\n"},
        {encodeMap({quad({30, 30, 50, 30, 70, 30, 70, 70})}), "quad 1: rejected (collinear corners)\n"},
        {encodeMap({quad({30, 30, 70, 30, 70, 70, nan, 70})}), "quad 1: rejected (corners not finite)\n"},
        {encodeMap({quad({0, 0, 0.1f, 0, 0.1f, 0.1f, 0, 0.1f})}),
         "quad 1: no body (corners unsafe for the physics library)\n"},
        {encodeMap({quad({3e9f, 3e9f, 3.1e9f, 3e9f, 3.1e9f, 3.1e9f, 3e9f, 3.1e9f})}),
         "quad 1: no body (corners unsafe for the physics library)\n"
         "quad 1: out of range for the lighting geometry\n"},
        // Found whichever corner comes first; the tag plays no part.
        {encodeMap({kSquare, quad({70, 70, 30, 70, 30, 30, 70, 30}, 1)}), "quad 2: duplicate of quad 1\n"},
    };
    for (const Case& c : cases) {
        write("map.txt", c.file);
        const Result result = run("check map.txt");
        EXPECT_EQ(result.out, c.lines);
        EXPECT_EQ(result.status, 1) << c.lines;
    }
    write("map.txt", sound);
    const Result clean = run("check map.txt");
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "");
}

TEST_F(MapTool, FixDropsRejectedAndDuplicatedQuads) {
    const QuadRecord reversed = quad({30, 30, 30, 70, 70, 70, 70, 30});
    const QuadRecord other = quad({100, 0, 140, 0, 140, 20, 100, 20}, 1);
    Bytes file = encodeMap(9.0f, {kSquare, reversed, kSquare, other});
    file.push_back(0xab);
    write("map.txt", file);
    const Result result = run("check map.txt --fix fixed.txt");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read("fixed.txt"), encodeMap({kSquare, other}));
    EXPECT_EQ(run("check fixed.txt").status, 0);
}

TEST_F(MapTool, BadArgumentsExitWithStatusTwoAndSayWhy) {
    write("map.txt", encodeMap({kSquare}));
    write("bad.json", Bytes{'{', '}'});
    for (const char* arguments :
         {"", "frob map.txt", "check", "check map.txt extra", "check map.txt --fox x",
          "check map.txt --fix", "check missing.txt", "check .", "stats map.txt --verbose",
          "to-json", "from-json bad.json out.txt", "from-json missing.json out.txt",
          "draw map.txt out.jpg", "draw map.txt out.png --view sky", "draw map.txt out.png --width 9x",
          "check map.txt --fix no/such/folder/out.txt", "help frob"}) {
        const Result result = run(arguments);
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_NE(result.err.find("kelvoran-map: "), std::string::npos) << arguments;
    }
    for (const char* arguments : {"--help", "help", "check --help", "draw -h", "help from-json"}) {
        const Result result = run(arguments);
        EXPECT_EQ(result.status, 0) << arguments;
        EXPECT_EQ(result.out.rfind("Usage: kelvoran-map", 0), 0u) << arguments;
    }
}

TEST_F(MapTool, JsonNumbersBeyondADoubleAndBytesAfterANulAreRefusedNeverAborted) {
    const std::string square = "[[0,0],[1,0],[1,1],[0,1]]";
    const std::string huge = "1" + std::string(400, '0');
    std::vector<std::string> texts;
    for (const std::string& number : {std::string("1e400"), std::string("-1e400"), huge, "-" + huge}) {
        texts.push_back("{\"quads\":[{\"corners\":[[" + number + ",0],[1,0],[1,1],[0,1]]}]}");
        texts.push_back("{\"quads\":[{\"corners\":" + square + ",\"tag\":" + number + "}]}");
        texts.push_back("{\"count\":" + number + ",\"quads\":[]}");
    }
    texts.push_back(std::string("{\"quads\":[]}\0{\"quads\":[{\"corners\":", 32) + square + "}]}");
    for (size_t i = 0; i < texts.size(); ++i) {
        write("in.json", Bytes(texts[i].begin(), texts[i].end()));
        const Result result = run("from-json in.json out.txt");
        EXPECT_EQ(result.status, 2) << texts[i];
        EXPECT_EQ(result.err.rfind("kelvoran-map: in.json: ", 0), 0u) << result.err;
        EXPECT_FALSE(std::ifstream(path("out.txt")).good()) << texts[i];
    }
    EXPECT_EQ(run("from-json in.json out.txt").err, "kelvoran-map: in.json: not JSON: a NUL byte at byte 13\n");
}

TEST_F(MapTool, DrawRefusesAPictureBeyondItsLimits) {
    // Two small quads far apart: the picture's height follows the map, twice the width here.
    write("tall.txt", encodeMap({kSquare, quad({30, 3030, 70, 3030, 70, 3070, 30, 3070})}));
    const Result wide = run("draw tall.txt tall.png --width 100000");
    EXPECT_EQ(wide.status, 2);
    const Result tall = run("draw tall.txt tall.png --width 8192");
    EXPECT_EQ(tall.status, 2);
    EXPECT_EQ(tall.err, "kelvoran-map: tall.png: the picture would be 8192 x 16384 pixels (512 MiB); a PNG "
                        "may have 16384 pixels on a side and 256 MiB at most: ask for a smaller --width\n");
    EXPECT_FALSE(std::ifstream(path("tall.png")).good());
    // A vector picture has no such limit; a narrower PNG is drawn.
    EXPECT_EQ(run("draw tall.txt tall.svg --width 8192").status, 0);
    EXPECT_EQ(run("draw tall.txt tall.png --width 1024").status, 0);
}

TEST_F(MapTool, StatsSumUpTheMap) {
    write("map.txt", encodeMap({kSquare, quad({100, 0, 140, 0, 140, 20, 100, 20}),
                                quad({30, 30, 30, 70, 70, 70, 70, 30})}));
    const Result result = run("stats map.txt");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "count     3 (3 records read, 2 accepted)\n"
              "extent    x 30 .. 140, y 0 .. 70 (110 x 70 units)\n"
              "smallest  quad 2, 800 square units\n"
              "largest   quad 1, 1600 square units\n"
              "no body   1 of 3\n");
}

struct Pixel {
    int r, g, b;
};

// The pixel at world (x, y) of a --view game picture, whose 1024 x 600 pixels are world units.
Pixel pixelAt(cairo_surface_t* picture, double x, double y) {
    const int column = static_cast<int>(x + 512), row = static_cast<int>(y + 300);
    const unsigned char* data = cairo_image_surface_get_data(picture);
    uint32_t argb;
    std::memcpy(&argb, data + row * cairo_image_surface_get_stride(picture) + 4 * column, 4);
    return {static_cast<int>(argb >> 16 & 255), static_cast<int>(argb >> 8 & 255),
            static_cast<int>(argb & 255)};
}

TEST_F(MapTool, DrawShowsQuadsWhereTheyAre) {
    const QuadRecord reversed = quad({-200, -100, -200, -60, -160, -60, -160, -100});
    write("empty.txt", encodeMap({}));
    write("map.txt", encodeMap({quad({100, 100, 180, 100, 180, 140, 100, 140}), reversed}));
    ASSERT_EQ(run("draw empty.txt empty.png --view game").status, 0);
    ASSERT_EQ(run("draw map.txt map.png --view game").status, 0);
    ASSERT_EQ(run("draw map.txt map.svg").status, 0);
    EXPECT_NE(readText("map.svg").find("<svg"), std::string::npos);

    cairo_surface_t* empty = cairo_image_surface_create_from_png(path("empty.png").c_str());
    cairo_surface_t* drawn = cairo_image_surface_create_from_png(path("map.png").c_str());
    ASSERT_EQ(cairo_surface_status(drawn), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(drawn), 1024);
    EXPECT_EQ(cairo_image_surface_get_height(drawn), 600);
    // Inside the quad (away from its number) the picture changes; far from it, it does not.
    const Pixel paper = pixelAt(empty, 110, 135), filled = pixelAt(drawn, 110, 135);
    EXPECT_GT(std::abs(paper.r - filled.r) + std::abs(paper.g - filled.g) + std::abs(paper.b - filled.b), 60);
    EXPECT_LT(filled.r, filled.b);  // the accepted quad is blue
    const Pixel rejected = pixelAt(drawn, -195, -95);
    EXPECT_GT(rejected.r, rejected.g + 40);  // the rejected one red
    const Pixel farEmpty = pixelAt(empty, 400, -250), farDrawn = pixelAt(drawn, 400, -250);
    EXPECT_TRUE(farEmpty.r == farDrawn.r && farEmpty.g == farDrawn.g && farEmpty.b == farDrawn.b);
    cairo_surface_destroy(empty);
    cairo_surface_destroy(drawn);
}

}  // namespace
