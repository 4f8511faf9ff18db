// make_png_corpus.cpp: writes the PNG decoder's seed corpus: every colour type and bit depth,
// transparency, interlacing, and a few damaged files. Usage: make_png_corpus <output folder>.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/png_writer.h"

namespace {
bool save(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    struct Seed {
        const char* name;
        int32_t colorType, bitDepth;
        bool transparent, interlaced;
    };
    const Seed seeds[] = {
        {"grey1", 0, 1, false, false},        {"grey2", 0, 2, false, false},
        {"grey4", 0, 4, false, true},         {"grey8_trns", 0, 8, true, false},
        {"grey16", 0, 16, false, false},      {"grey_alpha8", 4, 8, false, false},
        {"grey_alpha16", 4, 16, false, true}, {"rgb8", 2, 8, false, false},
        {"rgb16_trns", 2, 16, true, false},   {"rgba8_interlaced", 6, 8, false, true},
        {"rgba16", 6, 16, false, false},      {"palette1", 3, 1, false, false},
        {"palette2_trns", 3, 2, true, false}, {"palette4", 3, 4, false, true},
        {"palette8_trns", 3, 8, true, false},
    };
    bool ok = true;
    std::vector<uint8_t> rgba;
    for (const Seed& s : seeds) {
        const std::vector<uint8_t> bytes = encodePng(
            patternPicture(s.colorType, s.bitDepth, s.transparent, s.interlaced, 9, 7));
        if (std::string(s.name) == "rgba8_interlaced") rgba = bytes;
        ok = !bytes.empty() && save(folder + "/" + s.name + ".png", bytes) && ok;
    }
    // Damaged copies: cut inside the image data, and one flipped byte in it (a CRC mismatch).
    std::vector<uint8_t> truncated(rgba.begin(), rgba.begin() + static_cast<long>(rgba.size() / 2));
    std::vector<uint8_t> flipped = rgba;
    flipped[flipped.size() - 20] ^= 0x5a;
    ok = save(folder + "/truncated.png", truncated) && save(folder + "/flipped_byte.png", flipped) && ok;
    if (!ok) std::fprintf(stderr, "make_png_corpus: could not write every seed to %s\n", folder.c_str());
    return ok ? 0 : 1;
}
