// text.cpp: printf-style text drawn with the 9x15 bitmap font.
#include "app/text.h"

#include <GL/freeglut.h>

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
