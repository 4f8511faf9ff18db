// chunked_echo.cpp: the chunk, passed on when full and on every flush.
#include "core/chunked_echo.h"

ChunkedEcho::ChunkedEcho(std::ostream& target) : target_(target) {
    setp(chunk_.data(), chunk_.data() + chunk_.size());
}

ChunkedEcho::~ChunkedEcho() { sync(); }

bool ChunkedEcho::passOn() {
    const std::streamsize size = pptr() - pbase();
    if (size > 0) target_.write(pbase(), size);
    setp(chunk_.data(), chunk_.data() + chunk_.size());
    return static_cast<bool>(target_);
}

ChunkedEcho::int_type ChunkedEcho::overflow(int_type c) {
    if (!passOn()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int ChunkedEcho::sync() {
    const bool passed = passOn();
    target_.flush();
    return passed && target_ ? 0 : -1;
}
