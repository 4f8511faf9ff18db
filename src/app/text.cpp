// text.cpp: printf-style text drawn with the 9x15 bitmap font.
#include "app/text.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {
constexpr int kTextCapacity = 256;  // 255 characters and the terminator
char textBuffer[kTextCapacity];     // reused by every call: not re-entrant

void formatInto(const char* format, va_list args) {
    // vsnprintf cuts at 255 characters and always terminates.
    if (std::vsnprintf(textBuffer, sizeof textBuffer, format, args) < 0) textBuffer[0] = '\0';
}
}  // namespace

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatInto(format, args);
    va_end(args);
    return textBuffer;
}

void drawText(int x, int y, const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatInto(format, args);
    va_end(args);
    glRasterPos2f(static_cast<float>(x), static_cast<float>(y));
    glutBitmapString(GLUT_BITMAP_9_BY_15, reinterpret_cast<const unsigned char*>(textBuffer));
}

std::vector<std::string> wrapText(const std::string& text, size_t width, size_t maxLines) {
    std::vector<std::string> lines;
    if (width == 0 || maxLines == 0) return lines;
    size_t at = 0;
    while (at < text.size() && lines.size() < maxLines) {
        while (at < text.size() && text[at] == ' ') ++at;  // a line never starts with a space
        if (at == text.size()) break;
        size_t end = std::min(text.size(), at + width);
        if (end < text.size()) {
            const size_t space = text.rfind(' ', end);
            if (space != std::string::npos && space > at) end = space;
        }
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    while (at < text.size() && text[at] == ' ') ++at;
    if (at < text.size() && !lines.empty()) {
        std::string& last = lines.back();
        const std::string kEllipsis = "...";
        if (last.size() + kEllipsis.size() > width) last.resize(width > kEllipsis.size() ? width - kEllipsis.size() : 0);
        last += kEllipsis;
    }
    if (lines.empty()) lines.push_back("");
    return lines;
}
