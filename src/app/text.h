// text.h: formatted bitmap text.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// printf-style formatting cut to at most 255 characters.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same text in the 9x15 bitmap font at (x, y) of the current coordinates; GL context required.
void drawText(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
// text as lines of at most width characters, broken at spaces where it can be and within a word
// where it cannot; past maxLines the last line ends in "...".
std::vector<std::string> wrapText(const std::string& text, size_t width, size_t maxLines);
