// bench_support.h: what every benchmark program needs around its figures: a null stream for the
// console lines that would bury them, and a real window with the sheets loaded from assets/.
#pragma once
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <streambuf>

#include "render/texture.h"
#include "support/gl_window.h"

namespace bench {

// Accepts and forgets everything written to it, formatting included.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override {
        setp(buffer, buffer + sizeof buffer);
        return traits_type::not_eof(c);
    }
    char buffer[256];
};
inline NullBuffer nullBuffer;
inline std::ostream nullOut(&nullBuffer);

// Runs fn with std::cout sent to the null stream.
template <class F>
void quietly(F fn) {
    std::streambuf* console = std::cout.rdbuf(&nullBuffer);
    fn();
    std::cout.rdbuf(console);
}

// Opens the 1024 x 600 window, moves into assets/ and loads the sheets quietly; false (said on
// standard error) when the folder cannot be entered.
inline bool openWindowWithSheets() {
    openTestWindow(1024, 600);
    if (chdir(KELVORAN_ASSETS) != 0) {
        std::perror(KELVORAN_ASSETS);
        return false;
    }
    quietly([] { loadAllTextures(); });
    return true;
}

}  // namespace bench
