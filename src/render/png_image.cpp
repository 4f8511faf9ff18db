// png_image.cpp: PNG decoding through libpng into 8-bit grey, grey+alpha, RGB or RGBA pixels.
#include "render/png_image.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace {
constexpr size_t kSignatureBytes = 8;

// Everything libpng's callbacks and the error jump share. It lives in the caller's frame, so
// a jump out of libpng skips no destructor.
struct DecodeState {
    const uint8_t* data = nullptr;
    size_t size = 0, offset = 0;
    PngLimits limits;
    DecodedImage* image = nullptr;
    std::vector<png_bytep> rows;
    char message[200] = "";
};

void readBytes(png_structp png, png_bytep out, size_t length) {
    DecodeState& state = *static_cast<DecodeState*>(png_get_io_ptr(png));
    if (length > state.size - state.offset) png_error(png, "file ends early");
    std::memcpy(out, state.data + state.offset, length);
    state.offset += length;
}

[[noreturn]] void onError(png_structp png, png_const_charp message) {
    DecodeState& state = *static_cast<DecodeState*>(png_get_error_ptr(png));
    std::snprintf(state.message, sizeof state.message, "damaged PNG: %s", message);
    png_longjmp(png, 1);
}

// Warnings are about files libpng could still read; the game has nothing to add to them.
void onWarning(png_structp, png_const_charp) {}

// Channels after the expansions below: palettes become RGB, and a tRNS chunk adds alpha.
int32_t outputChannels(png_structp png, png_infop info) {
    const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    switch (png_get_color_type(png, info)) {
        case PNG_COLOR_TYPE_GRAY: return transparent ? 2 : 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB:
        case PNG_COLOR_TYPE_PALETTE: return transparent ? 4 : 3;
        case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
        default: return 0;
    }
}

// The part of decoding libpng may jump out of: only trivially destructible locals here.
bool runDecode(png_structp png, png_infop info, DecodeState* state) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, state, readBytes);
    // Our own size check below names the size; libpng's default caps would only say "invalid".
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int32_t channels = outputChannels(png, info);
    const uint64_t bytes = uint64_t{width} * height * static_cast<uint64_t>(channels);
    const uint64_t maxSide = static_cast<uint64_t>(state->limits.maxSide > 0 ? state->limits.maxSide : 0);
    if (width > maxSide || height > maxSide || bytes > state->limits.maxBytes) {
        std::snprintf(state->message, sizeof state->message, "image too large (%u x %u)",
                      static_cast<unsigned>(width), static_cast<unsigned>(height));
        return false;
    }

    png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_bit_depth(png, info) != 8 || png_get_channels(png, info) != channels ||
        png_get_rowbytes(png, info) != size_t{width} * static_cast<size_t>(channels)) {
        std::snprintf(state->message, sizeof state->message, "unsupported PNG layout");
        return false;
    }

    DecodedImage& image = *state->image;
    image.pixels.assign(static_cast<size_t>(bytes), 0);
    state->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        state->rows[y] = image.pixels.data() + size_t{y} * width * static_cast<size_t>(channels);
    png_read_image(png, state->rows.data());
    png_read_end(png, nullptr);  // checks the rest of the file up to IEND
    image.width = static_cast<int32_t>(width);
    image.height = static_cast<int32_t>(height);
    image.channels = channels;
    return true;
}
}  // namespace

bool decodePng(const uint8_t* data, size_t size, const PngLimits& limits, DecodedImage& image,
               std::string& error) {
    image = DecodedImage();
    error.clear();
    if (size < kSignatureBytes || png_sig_cmp(data, 0, kSignatureBytes) != 0) {
        error = "not a PNG file";
        return false;
    }
    DecodeState state;
    state.data = data;
    state.size = size;
    state.limits = limits;
    state.image = &image;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, onError, onWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool decoded = false;
    if (info == nullptr) {
        std::snprintf(state.message, sizeof state.message, "out of memory");
    } else {
        try {
            decoded = runDecode(png, info, &state);
        } catch (const std::bad_alloc&) {
            std::snprintf(state.message, sizeof state.message, "out of memory");
        }
    }
    png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    if (!decoded) {
        image = DecodedImage();
        error = state.message;
    }
    return decoded;
}

bool decodePngFile(const std::string& path, const PngLimits& limits, DecodedImage& image,
                   std::string& error) {
    image = DecodedImage();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    // A stored (uncompressed) PNG is about as large as its pixels; more than twice that is not
    // an image we would accept anyway, so stop reading there.
    const uint64_t maxFileBytes = limits.maxBytes * 2 + (uint64_t{1} << 20);
    std::vector<uint8_t> bytes;
    uint8_t buffer[1 << 16];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (bytes.size() + got > maxFileBytes) {
            std::fclose(file);
            error = "file too large";
            return false;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        error = std::string("cannot read: ") + std::strerror(readErrno);
        return false;
    }
    return decodePng(bytes.data(), bytes.size(), limits, image, error);
}
