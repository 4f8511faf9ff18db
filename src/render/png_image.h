// png_image.h: decodes PNG files and bytes into 8-bit pixels, refusing damaged or oversized images.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Rows top to bottom as stored in the file, 8 bits per channel, no padding between rows.
struct DecodedImage {
    int32_t width = 0, height = 0;  // pixels
    int32_t channels = 0;           // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels;    // width x height x channels bytes
};

constexpr uint64_t kMaxDecodedImageBytes = uint64_t{256} << 20;

// What an image may cost: the longest side in pixels and the decoded size in bytes.
struct PngLimits {
    int32_t maxSide = 0;
    uint64_t maxBytes = kMaxDecodedImageBytes;
};

// Decodes size bytes at data (null only when size is 0). On success fills image and returns
// true; otherwise leaves image empty, puts a one-line reason (without a file name) in error and
// returns false. The limits are checked from the header, before any pixel memory is allocated.
bool decodePng(const uint8_t* data, size_t size, const PngLimits& limits, DecodedImage& image,
               std::string& error);

// Reads the whole file at path and decodes it as decodePng does; a file that cannot be read
// gives "cannot open: <reason>".
bool decodePngFile(const std::string& path, const PngLimits& limits, DecodedImage& image,
                   std::string& error);
