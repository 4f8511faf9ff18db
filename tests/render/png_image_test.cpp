// png_image_test.cpp: PNG decoding of every format, damaged and oversized files, and sheets
// made from it matching the image library's own loading texel for texel.
#include "render/png_image.h"

#include <GL/gl.h>
#include <SOIL/SOIL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "render/texture.h"
#include "support/gl_window.h"
#include "support/png_writer.h"

// Every operator new of this test program passes here, so a test can see the largest request.
namespace {
size_t largestRequest = 0;
}
void* operator new(size_t size) {
    largestRequest = std::max(largestRequest, size);
    if (void* p = std::malloc(size > 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
// The nothrow forms too, so that every plain delete frees what one of these allocated.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    largestRequest = std::max(largestRequest, size);
    return std::malloc(size > 0 ? size : 1);
}
// GCC at -O2 inlines the library's new into a vector and the delete below into its destructor,
// and takes the pair for a mismatch; both are the malloc and free of this file.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {
const PngLimits kGameLimits{16384, kMaxDecodedImageBytes};

// The 8-bit pixels a decoder must make of a picture: palettes looked up, low depths scaled to
// 0..255, 16 bits cut to their high byte, tRNS turned into an alpha channel.
DecodedImage expectedPixels(const PngPicture& p) {
    DecodedImage out;
    out.width = p.width, out.height = p.height;
    const int32_t fileChannels = pngFileChannels(p.colorType);
    const bool keyed = !p.transparency.empty() && p.colorType != 3;
    const uint32_t top = (1u << p.bitDepth) - 1;
    const auto eight = [&](uint32_t v) {
        return static_cast<uint8_t>(p.bitDepth == 16 ? v >> 8 : v * 255 / top);
    };
    out.channels = p.colorType == 3 ? (p.transparency.empty() ? 3 : 4) : fileChannels + keyed;
    for (size_t i = 0; i < p.samples.size(); i += static_cast<size_t>(fileChannels)) {
        const uint16_t* s = &p.samples[i];
        if (p.colorType == 3) {
            for (int c = 0; c < 3; ++c) out.pixels.push_back(p.palette[s[0] * 3u + c]);
            if (!p.transparency.empty())
                out.pixels.push_back(s[0] < p.transparency.size() ? p.transparency[s[0]] : 255);
            continue;
        }
        for (int32_t c = 0; c < fileChannels; ++c) out.pixels.push_back(eight(s[c]));
        if (keyed) out.pixels.push_back(std::equal(s, s + fileChannels, p.transparency.begin()) ? 0 : 255);
    }
    return out;
}

uint32_t crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xffffffffu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBe32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Recomputes every whole chunk's CRC, so damage reaches the decoder's deeper stages.
void fixCrcs(std::vector<uint8_t>& png) {
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = static_cast<uint32_t>(png[at]) << 24 | png[at + 1] << 16 |
                                png[at + 2] << 8 | png[at + 3];
        if (length > png.size() - at - 12) return;
        putBe32(png, at + 8 + length, crc32(&png[at + 4], length + 4));
        at += 12 + length;
    }
}

void appendChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    const size_t at = png.size();
    png.resize(at + 12 + data.size());
    putBe32(png, at, static_cast<uint32_t>(data.size()));
    std::copy(type, type + 4, png.begin() + static_cast<long>(at) + 4);
    std::copy(data.begin(), data.end(), png.begin() + static_cast<long>(at) + 8);
    putBe32(png, at + 8 + data.size(), crc32(&png[at + 4], data.size() + 4));
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The whole level 0 of a 2D texture as RGBA bytes, with its size and internal format.
std::vector<GLint> textureShape(GLuint name, std::vector<uint8_t>& texels) {
    glBindTexture(GL_TEXTURE_2D, name);
    std::vector<GLint> shape(7, 0);
    const GLenum levelParams[] = {GL_TEXTURE_WIDTH, GL_TEXTURE_HEIGHT, GL_TEXTURE_INTERNAL_FORMAT};
    for (int i = 0; i < 3; ++i) glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, levelParams[i], &shape[i]);
    const GLenum params[] = {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S,
                             GL_TEXTURE_WRAP_T};
    for (int i = 0; i < 4; ++i) glGetTexParameteriv(GL_TEXTURE_2D, params[i], &shape[3 + i]);
    texels.assign(static_cast<size_t>(shape[0]) * static_cast<size_t>(shape[1]) * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return shape;
}
}  // namespace

TEST(PngDecoding, EveryColourTypeAndDepthDecodesToTheExpectedEightBitPixels) {
    struct Format {
        int32_t colorType;
        std::vector<int32_t> depths;
        bool canBeKeyed;
    };
    const Format formats[] = {{0, {1, 2, 4, 8, 16}, true}, {2, {8, 16}, true},
                              {3, {1, 2, 4, 8}, true},     {4, {8, 16}, false},
                              {6, {8, 16}, false}};
    int checked = 0;
    for (const Format& f : formats)
        for (int32_t depth : f.depths)
            for (bool transparent : {false, true})
                for (bool interlaced : {false, true}) {
                    if (transparent && !f.canBeKeyed) continue;
                    SCOPED_TRACE(testing::Message() << "type " << f.colorType << " depth " << depth
                                                    << " tRNS " << transparent << " interlaced "
                                                    << interlaced);
                    const PngPicture picture =
                        patternPicture(f.colorType, depth, transparent, interlaced, 13, 11);
                    const std::vector<uint8_t> file = encodePng(picture);
                    ASSERT_FALSE(file.empty());
                    DecodedImage image;
                    std::string error;
                    ASSERT_TRUE(decodePng(file.data(), file.size(), kGameLimits, image, error))
                        << error;
                    const DecodedImage expected = expectedPixels(picture);
                    EXPECT_EQ(image.width, 13);
                    EXPECT_EQ(image.height, 11);
                    EXPECT_EQ(image.channels, expected.channels);
                    EXPECT_EQ(image.pixels, expected.pixels);
                    ++checked;
                }
    EXPECT_EQ(checked, 2 * (5 * 2 + 2 * 2 + 4 * 2 + 2 + 2));
}

TEST(PngDecoding, RandomlyDamagedFilesGiveAnImageOrAReasonAndNeverCrash) {
    std::vector<std::vector<uint8_t>> originals = {
        encodePng(patternPicture(6, 8, false, true, 23, 17)),
        encodePng(patternPicture(3, 4, true, false, 31, 9)),
        encodePng(patternPicture(0, 16, true, true, 12, 12)),
        readFile(std::string(KELVORAN_ASSETS) + "/hud2.png"),
    };
    std::mt19937 random(20240607);
    int decoded = 0, refused = 0;
    for (int run = 0; run < 4000; ++run) {
        std::vector<uint8_t> file = originals[static_cast<size_t>(run) % originals.size()];
        ASSERT_GT(file.size(), 64u);
        const auto anywhere = [&] { return std::uniform_int_distribution<size_t>(0, file.size() - 1)(random); };
        switch (run % 4) {
            case 0:  // cut anywhere
                file.resize(anywhere());
                break;
            case 1:  // a few flipped bits
                for (int k = 0; k < 1 + run % 3; ++k) file[anywhere()] ^= static_cast<uint8_t>(1u << (random() % 8));
                break;
            default:  // a few replaced bytes, with the CRCs made to agree on every other run
                for (int k = 0; k < 1 + run % 5; ++k) file[anywhere()] = static_cast<uint8_t>(random());
                if (run % 4 == 3) fixCrcs(file);
        }
        DecodedImage image;
        std::string error;
        if (decodePng(file.data(), file.size(), kGameLimits, image, error)) {
            ++decoded;
            EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * image.height * image.channels);
            EXPECT_TRUE(error.empty());
        } else {
            ++refused;
            EXPECT_FALSE(error.empty()) << run;
            EXPECT_TRUE(image.pixels.empty()) << run;
        }
    }
    // Both outcomes happen: the damage is not all caught at the signature.
    EXPECT_GT(decoded, 0);
    EXPECT_GT(refused, 1000);
}

TEST(PngDecoding, HeadersClaimingTooMuchAreRefusedBeforeAnyPixelMemory) {
    struct Claim {
        uint32_t width, height;
        uint8_t colorType;
    };
    // Past the maximum side; past the side again in height; 256 MiB plus one row of RGBA.
    const Claim claims[] = {{100000, 100000, 6}, {1, 16385, 0}, {8192, 8193, 6}};
    for (const Claim& c : claims) {
        std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        std::vector<uint8_t> header(13, 0);
        putBe32(header, 0, c.width);
        putBe32(header, 4, c.height);
        header[8] = 8, header[9] = c.colorType;
        appendChunk(file, "IHDR", header);
        appendChunk(file, "IDAT", {0x78, 0x9c, 0x01});  // reading rows would fail on this
        appendChunk(file, "IEND", {});
        DecodedImage image;
        std::string error;
        largestRequest = 0;
        EXPECT_FALSE(decodePng(file.data(), file.size(), kGameLimits, image, error));
        EXPECT_EQ(error, "image too large (" + std::to_string(c.width) + " x " +
                             std::to_string(c.height) + ")");
        EXPECT_LT(largestRequest, size_t{1} << 16);
    }
}

TEST(PngSheetsGl, StarterSheetsGiveTheSameTexturesAsTheImageLibraryLoadingThemItself) {
    openTestWindow(64, 64);
    copyAssetsHere();
    for (const SheetSpec& s : startupSheets) {
        SCOPED_TRACE(s.fileName);
        const GLuint old = SOIL_load_OGL_texture(s.fileName, SOIL_LOAD_AUTO, SOIL_CREATE_NEW_ID,
                                                 SOIL_FLAG_POWER_OF_TWO);
        Texture& sheet = createTexture();
        captureStdout([&] {
            loadSheet(sheet, s.fileName, s.width, s.height, s.anchorX, s.anchorY, s.columns, s.rows);
        });
        ASSERT_NE(old, 0u);
        ASSERT_NE(sheet.glName, 0u);
        std::vector<uint8_t> oldTexels, newTexels;
        EXPECT_EQ(textureShape(sheet.glName, newTexels), textureShape(old, oldTexels));
        EXPECT_TRUE(newTexels == oldTexels);
        EXPECT_GT(oldTexels.size(), 0u);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(PngSheetsGl, BadSheetsSayWhyOnStandardErrorAndLoadAsTextureZero) {
    openTestWindow(64, 64);
    std::string expectedOut;
    for (const SheetSpec& s : startupSheets) {
        std::ostringstream grid;
        layoutSheet(createTexture(), s.width, s.height, s.anchorX, s.anchorY, s.columns, s.rows, grid);
        expectedOut += grid.str();
        const std::string name = s.fileName;
        std::vector<uint8_t> bytes = readFile(std::string(KELVORAN_ASSETS) + "/" + name);
        ASSERT_GT(bytes.size(), 1000u);
        if (name == "light.png") continue;                                // missing
        if (name == "background.png") bytes[bytes.size() / 2] ^= 0xff;   // damaged
        if (name == "image.png") bytes.assign(100, 'x');                  // not a PNG
        std::ofstream(name, std::ios::binary)  // into the case's own working folder
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    expectedOut += "Creating Lightmap texture: 512 x 512\n";
    const size_t before = allTextures().size();
    testing::internal::CaptureStderr();
    const std::string out = captureStdout([] { loadAllTextures(); });
    const std::vector<std::string> errors = splitLines(testing::internal::GetCapturedStderr());

    EXPECT_EQ(out, expectedOut);
    ASSERT_EQ(allTextures().size(), before + 12);
    for (size_t i = before; i < allTextures().size(); ++i) {
        const std::string& name = allTextures()[i]->fileName;
        const bool bad = name == "background.png" || name == "light.png" || name == "image.png";
        EXPECT_EQ(allTextures()[i]->glName == 0, bad) << name;
        EXPECT_EQ(allTextures()[i]->loaded, !bad) << name;
    }
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], "image.png: not a PNG file");
    EXPECT_EQ(errors[1].rfind("background.png: damaged PNG: ", 0), 0u) << errors[1];
    EXPECT_EQ(errors[2], "light.png: cannot open: No such file or directory");
}
