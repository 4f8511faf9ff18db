// byte_codec.h: the small pieces every byte format here is written with (varints, zig-zag signed
// integers, little-endian words, a float's raw bits) and a bounded reader of them, which turns
// any read past the end into a failure rather than a read of memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline void putVarint(std::vector<uint8_t>& out, uint64_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<uint8_t>(v));
}

inline void putSigned(std::vector<uint8_t>& out, int64_t v) {
    putVarint(out, (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63));
}

inline void putU64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void putFloatBits(std::vector<uint8_t>& out, float f) {
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

class ByteReader {
public:
    ByteReader(const uint8_t* bytes, size_t size, size_t offset = 0) : p_(bytes), size_(size), at_(offset) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == size_; }
    size_t offset() const { return at_; }
    size_t left() const { return size_ - at_; }
    uint8_t byte() {
        if (at_ >= size_) return fail();
        return p_[at_++];
    }
    uint64_t varint() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uint8_t b = byte();
            if (!ok_) return 0;
            v |= static_cast<uint64_t>(b & 0x7f) << shift;
            if (!(b & 0x80)) return v;
        }
        return fail();
    }
    // Only values an int32_t holds: anything wider is damage.
    int32_t signed32() {
        const uint64_t z = varint();
        const int64_t v = static_cast<int64_t>(z >> 1) ^ -static_cast<int64_t>(z & 1);
        if (v < INT32_MIN || v > INT32_MAX) return static_cast<int32_t>(fail());
        return static_cast<int32_t>(v);
    }
    uint64_t u64() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(byte()) << (8 * i);
        return v;
    }
    float real() {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(byte()) << (8 * i);
        float f = 0;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    // The next n bytes, or nullptr (and a failure) when fewer are left: a length is not a promise.
    const uint8_t* take(uint64_t n) {
        if (!ok_ || n > left()) return fail(), nullptr;
        const uint8_t* start = p_ + at_;
        at_ += static_cast<size_t>(n);
        return start;
    }
    uint8_t fail() {
        ok_ = false;
        at_ = size_;
        return 0;
    }

protected:
    const uint8_t* bytes() const { return p_; }
    size_t size() const { return size_; }

private:
    const uint8_t* p_;
    size_t size_;
    size_t at_;
    bool ok_ = true;
};
