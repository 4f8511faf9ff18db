// text.h: formatted bitmap text.
#pragma once
#include <string>

// printf-style formatting cut to at most 255 characters.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
void drawText(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
