// png_writer.cpp: PNG encoding of test pictures through libpng, into memory.
#include "support/png_writer.h"

#include <png.h>

namespace {
void appendBytes(png_structp png, png_bytep data, size_t length) {
    auto& out = *static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out.insert(out.end(), data, data + length);
}
void flushNothing(png_structp) {}

// Packs one row of samples at the picture's bit depth, most significant bits first.
std::vector<png_byte> packRow(const PngPicture& p, int32_t y) {
    const size_t count = static_cast<size_t>(p.width) * pngFileChannels(p.colorType);
    const uint16_t* in = &p.samples[static_cast<size_t>(y) * count];
    std::vector<png_byte> row((count * static_cast<size_t>(p.bitDepth) + 7) / 8, 0);
    for (size_t i = 0; i < count; ++i) {
        if (p.bitDepth == 16) {
            row[2 * i] = static_cast<png_byte>(in[i] >> 8);
            row[2 * i + 1] = static_cast<png_byte>(in[i] & 0xff);
        } else {
            const size_t bit = i * static_cast<size_t>(p.bitDepth);
            const int shift = 8 - p.bitDepth - static_cast<int>(bit % 8);
            row[bit / 8] = static_cast<png_byte>(row[bit / 8] | (in[i] << shift));
        }
    }
    return row;
}
}  // namespace

int32_t pngFileChannels(int32_t colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB: return 3;
        case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
        default: return 1;  // grey, palette
    }
}

PngPicture patternPicture(int32_t colorType, int32_t bitDepth, bool transparent,
                          bool interlaced, int32_t width, int32_t height) {
    PngPicture p;
    p.width = width, p.height = height;
    p.colorType = colorType, p.bitDepth = bitDepth, p.interlaced = interlaced;
    const uint32_t top = (1u << bitDepth) - 1;
    const int32_t channels = pngFileChannels(colorType);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int32_t c = 0; c < channels; ++c)
                p.samples.push_back(static_cast<uint16_t>(
                    (static_cast<uint32_t>(x) * 40503u + static_cast<uint32_t>(y) * 9973u +
                     static_cast<uint32_t>(c) * 25013u) % (top + 1)));
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (uint32_t i = 0; i <= top; ++i)
            for (uint32_t c = 0; c < 3; ++c) p.palette.push_back(static_cast<uint8_t>(i * 53 + c * 97));
        if (transparent)
            for (uint32_t i = 0; i < (top + 2) / 2; ++i)
                p.transparency.push_back(static_cast<uint16_t>(i * 37 % 256));
    } else if (transparent && (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_RGB)) {
        p.transparency.assign(p.samples.begin(), p.samples.begin() + channels);  // first pixel
    }
    return p;
}

std::vector<uint8_t> encodePng(const PngPicture& p) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<std::vector<png_byte>> rows;
    std::vector<png_bytep> rowPointers;
    for (int32_t y = 0; y < p.height; ++y) rows.push_back(packRow(p, y));
    for (auto& row : rows) rowPointers.push_back(row.data());
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < p.palette.size(); i += 3)
        palette.push_back(png_color{p.palette[i], p.palette[i + 1], p.palette[i + 2]});
    std::vector<png_byte> alphas(p.transparency.begin(), p.transparency.end());
    png_color_16 key{};
    if (p.transparency.size() == 1) key.gray = p.transparency[0];
    if (p.transparency.size() == 3)
        key.red = p.transparency[0], key.green = p.transparency[1], key.blue = p.transparency[2];

    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height),
                 p.bitDepth, p.colorType,
                 p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!p.transparency.empty()) {
        const bool indexed = p.colorType == PNG_COLOR_TYPE_PALETTE;
        png_set_tRNS(png, info, indexed ? alphas.data() : nullptr,
                     indexed ? static_cast<int>(alphas.size()) : 0, indexed ? nullptr : &key);
    }
    png_write_info(png, info);
    png_write_image(png, rowPointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}
