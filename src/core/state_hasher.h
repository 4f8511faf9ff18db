// state_hasher.h: FNV-1a over plain values, the fingerprint every part of the game state feeds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

class StateHasher {
public:
    void bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) {
            value_ ^= p[i];
            value_ *= kPrime;
        }
    }
    // Plain values by their bytes: floats by their bit patterns, so -0 and NaNs count too; a
    // record of floats (a vector) by its packed fields in order.
    template <typename T>
    void add(const T& v) {
        static_assert(std::is_trivially_copyable<T>::value, "hash plain values only");
        unsigned char raw[sizeof(T)];
        std::memcpy(raw, &v, sizeof(T));
        bytes(raw, sizeof(T));
    }
    void add(bool b) { add(static_cast<uint8_t>(b ? 1 : 0)); }
    void add(const std::string& text) {
        add(static_cast<uint64_t>(text.size()));
        bytes(text.data(), text.size());
    }
    uint64_t value() const { return value_; }

private:
    static constexpr uint64_t kOffset = 14695981039346656037ull;
    static constexpr uint64_t kPrime = 1099511628211ull;
    uint64_t value_ = kOffset;
};
