// text.h: formatted bitmap text.
#pragma once
#include <string>

// printf-style formatting cut to at most 255 characters.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same text in the 9x15 bitmap font at (x, y) of the current coordinates; GL context required.
void drawText(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
