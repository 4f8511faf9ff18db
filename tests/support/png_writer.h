// png_writer.h: writes PNGs of every colour type, bit depth and interlacing from known samples.
#pragma once
#include <cstdint>
#include <vector>

// One picture as the file stores it, before any decoder expands it.
struct PngPicture {
    int32_t width = 0, height = 0;  // pixels
    int32_t colorType = 0;          // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    int32_t bitDepth = 8;           // 1, 2, 4, 8 or 16, as the colour type allows
    bool interlaced = false;
    std::vector<uint16_t> samples;  // row-major, the file's channels per pixel (palette: index)
    std::vector<uint8_t> palette;   // RGB triples (palette pictures only)
    // tRNS: one alpha per leading palette entry, or the transparent grey / RGB value.
    std::vector<uint16_t> transparency;
};

// Samples stored per pixel for a colour type (palette: 1).
int32_t pngFileChannels(int32_t colorType);

// A width x height test pattern using the whole sample range; with transparent, a tRNS chunk
// (for palettes, alphas for the first half of the entries; for grey and RGB, one pixel's value).
PngPicture patternPicture(int32_t colorType, int32_t bitDepth, bool transparent,
                          bool interlaced, int32_t width, int32_t height);

// The picture encoded as PNG file bytes; empty if libpng refused it.
std::vector<uint8_t> encodePng(const PngPicture& picture);
