// png_image_fuzz.cpp: feeds arbitrary bytes to the PNG decoder the sprite sheets load through.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "render/png_image.h"

namespace {
// A common GL maximum; the byte cap is lower than the game's so that headers claiming huge
// images are refused quickly and the fuzzer keeps its pace.
const PngLimits kLimits{16384, uint64_t{16} << 20};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedImage image;
    std::string error;
    if (decodePng(data, size, kLimits, image, error)) {
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
