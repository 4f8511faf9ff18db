// text_layout.h: where each character of a text goes, from the font's advances alone (no GL, no
// font library), so the placement and the size of a text can be known and tested without a window.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The code points of UTF-8 text; a byte that starts no valid sequence becomes U+FFFD.
std::vector<uint32_t> decodeUtf8(const std::string& text);

struct PlacedGlyph {
    uint32_t codePoint = 0;
    float x = 0.0f;         // the pen on the baseline, pixels from the text's left edge
    float baseline = 0.0f;  // pixels below the text's top edge
};

struct TextLayout {
    std::vector<PlacedGlyph> glyphs;  // printable characters only, in reading order
    float width = 0.0f;               // of the widest line, pixels
    float height = 0.0f;              // every line's height, pixels
};

// Lines broken at '\n', each lineHeight below the last, the first baseline ascent below the top;
// other control characters take no room. advance gives a character's advance in pixels.
TextLayout layoutText(const std::string& text, float ascent, float lineHeight,
                      const std::function<float(uint32_t)>& advance);
