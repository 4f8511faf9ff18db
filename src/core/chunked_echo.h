// chunked_echo.h: a stream buffer that passes text on to another stream a chunk at a time.
#pragma once
#include <array>
#include <ostream>
#include <streambuf>

// Collects what is written and passes it on to target in chunks, so a long echo of many lines
// costs a few writes instead of a flush per line. Flushing the stream over it (or destroying it)
// passes on the rest and flushes target, so nothing written is lost before a risky step.
class ChunkedEcho : public std::streambuf {
public:
    explicit ChunkedEcho(std::ostream& target);
    ~ChunkedEcho() override;
    ChunkedEcho(const ChunkedEcho&) = delete;
    ChunkedEcho& operator=(const ChunkedEcho&) = delete;

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool passOn();

    std::ostream& target_;
    std::array<char, 65536> chunk_{};
};
