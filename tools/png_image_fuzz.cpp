// png_image_fuzz.cpp: feeds arbitrary bytes to the PNG decoder the sprite sheets load through.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "render/png_image.h"

namespace {
// A common GL maximum; the byte cap is lower than the game's so that headers claiming huge
// images are refused quickly and the fuzzer keeps its pace.
const PngLimits kLimits{16384, uint64_t{16} << 20};

uint32_t readBe32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Gives every whole chunk its correct CRC. libpng is not instrumented, so coverage cannot lead
// the fuzzer past the CRC checks; repairing them lets mutations reach inflating, unfiltering
// and de-interlacing.
void repairCrcs(uint8_t* data, size_t size) {
    size_t at = 8;
    while (at + 12 <= size) {
        const uint32_t length = readBe32(data + at);
        if (length > size - at - 12) return;
        const uLong crc = crc32(crc32(0, nullptr, 0), data + at + 4, length + 4);
        for (int i = 0; i < 4; ++i)
            data[at + 8 + length + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}
// libpng is not instrumented either, so coverage cannot tell a file refused at its first chunk
// from one that failed deep in the pixel data. Each distinct outcome (the reason given, or the
// decoded format) runs one of these functions, which libFuzzer sees as new coverage.
constexpr size_t kOutcomes = 256;
volatile size_t outcomeSink = 0;
template <size_t N>
__attribute__((noinline)) void markOutcome() { outcomeSink = N; }
template <size_t... N>
void markOutcome(size_t index, std::index_sequence<N...>) {
    static void (*const marks[])() = {markOutcome<N>...};
    marks[index % sizeof...(N)]();
}

void noteOutcome(bool decoded, const DecodedImage& image, const std::string& error) {
    size_t key = 0;
    if (decoded) {
        key = static_cast<size_t>(image.channels) * 4 + (image.width > 64) * 2 + (image.height > 64);
    } else {
        key = 17;  // FNV-1a over the reason, numbers included: sizes say how far a header got
        for (const char c : error) key = (key ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    markOutcome(key, std::make_index_sequence<kOutcomes>());
}
}  // namespace

// Provided by libFuzzer; absent (null) when the target is replayed without it.
extern "C" __attribute__((weak)) size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

// libFuzzer's own mutations, with the CRCs repaired afterwards three times in four.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (seed % 4 != 0) repairCrcs(data, size);
    return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedImage image;
    std::string error;
    const bool decoded = decodePng(data, size, kLimits, image, error);
    noteOutcome(decoded, image, error);
    if (decoded) {
        // A decoded image is whole and within the limits.
        const uint64_t bytes = uint64_t(image.width) * uint64_t(image.height) *
                               uint64_t(image.channels);
        if (image.width < 1 || image.height < 1 || image.width > kLimits.maxSide ||
            image.height > kLimits.maxSide || image.channels < 1 || image.channels > 4 ||
            bytes > kLimits.maxBytes || image.pixels.size() != bytes || !error.empty())
            std::abort();
    } else if (error.empty() || !image.pixels.empty() || error.find('\n') != std::string::npos) {
        std::abort();  // a refusal always says why, on one line, and leaves nothing behind
    }
    return 0;
}
