// terminal_text.cpp: escaping control characters and broken UTF-8 for the terminal.
#include "core/terminal_text.h"

#include <cstdint>

namespace {
// Length of the valid UTF-8 sequence starting at text[at] (overlong forms, surrogates and values
// past U+10FFFF are invalid), or 0.
size_t utf8Length(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    size_t length = 0;
    uint32_t value = 0, least = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, value = lead & 0x1fu, least = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, value = lead & 0x0fu, least = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, value = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80) return 0;
        value = value << 6 | (byte(at + i) & 0x3fu);
    }
    const bool surrogate = value >= 0xd800 && value <= 0xdfff;
    const bool c1 = value >= 0x80 && value <= 0x9f;
    return value < least || surrogate || c1 || value > 0x10ffff ? 0 : length;
}

void appendEscaped(std::string& out, uint8_t byte) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}
}  // namespace

std::string escapeForTerminal(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if (byte >= 0x20 && byte < 0x7f) {
            out += text[i++];
        } else if (const size_t length = byte >= 0x80 ? utf8Length(text, i) : 0) {
            out.append(text, i, length);
            i += length;
        } else {
            appendEscaped(out, byte);
            ++i;
        }
    }
    return out;
}
