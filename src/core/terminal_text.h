// terminal_text.h: text from a file made safe to print. A recording or a map comes from anyone,
// and a control character printed raw can retitle the terminal, clear it or fake a line.
#pragma once
#include <string>

// Every byte of a control character (C0, DEL, the C1 range encoded in UTF-8) and every byte
// that is not part of valid UTF-8 becomes \xNN; everything else, backslashes included, is kept.
std::string escapeForTerminal(const std::string& text);
