// text_layout.cpp: UTF-8 decoding and line layout.
#include "render/text_layout.h"

#include <algorithm>

namespace {
constexpr uint32_t kReplacement = 0xFFFD;

// Continuation bytes after a lead byte, and the smallest code point such a sequence may hold
// (a longer sequence than needed is refused, as the standard asks).
bool sequenceOf(unsigned char lead, int& more, uint32_t& value, uint32_t& least) {
    if (lead < 0x80) { more = 0; value = lead; least = 0; return true; }
    if ((lead & 0xE0) == 0xC0) { more = 1; value = lead & 0x1Fu; least = 0x80; return true; }
    if ((lead & 0xF0) == 0xE0) { more = 2; value = lead & 0x0Fu; least = 0x800; return true; }
    if ((lead & 0xF8) == 0xF0) { more = 3; value = lead & 0x07u; least = 0x10000; return true; }
    return false;
}
}  // namespace

std::vector<uint32_t> decodeUtf8(const std::string& text) {
    std::vector<uint32_t> points;
    size_t i = 0;
    while (i < text.size()) {
        int more = 0;
        uint32_t value = 0, least = 0;
        if (!sequenceOf(static_cast<unsigned char>(text[i]), more, value, least)) {
            points.push_back(kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        for (; j < text.size() && j <= i + static_cast<size_t>(more); ++j) {
            const auto byte = static_cast<unsigned char>(text[j]);
            if ((byte & 0xC0) != 0x80) break;
            value = (value << 6) | (byte & 0x3Fu);
        }
        const bool whole = j == i + 1 + static_cast<size_t>(more);
        const bool valid = whole && value >= least && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
        points.push_back(valid ? value : kReplacement);
        i = whole ? j : std::max(j, i + 1);
    }
    return points;
}

TextLayout layoutText(const std::string& text, float ascent, float lineHeight,
                      const std::function<float(uint32_t)>& advance) {
    TextLayout layout;
    float pen = 0.0f;
    float baseline = ascent;
    int lines = 1;
    for (const uint32_t point : decodeUtf8(text)) {
        if (point == '\n') {
            layout.width = std::max(layout.width, pen);
            pen = 0.0f;
            baseline += lineHeight;
            ++lines;
            continue;
        }
        if (point < 0x20 || point == 0x7F) continue;
        layout.glyphs.push_back({point, pen, baseline});
        pen += advance(point);
    }
    layout.width = std::max(layout.width, pen);
    layout.height = text.empty() ? 0.0f : static_cast<float>(lines) * lineHeight;
    return layout;
}
