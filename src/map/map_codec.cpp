// map_codec.cpp: map file bytes, field by field; a struct is never written as it lies in memory.
#include "map/map_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
              "map.txt stores IEEE float32");

float decodeFloat(const uint8_t* bytes) {
    const uint32_t bits = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                          static_cast<uint32_t>(bytes[2]) << 16 |
                          static_cast<uint32_t>(bytes[3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void encodeFloat(float value, uint8_t* bytes) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
}

MapData decodeMap(const uint8_t* bytes, size_t size) {
    MapData map;
    if (size < kMapHeaderSize) return map;
    map.count = decodeFloat(bytes);
    map.bytesUsed = kMapHeaderSize;
    // As many records as the count names and the bytes hold, made room for once.
    const double fit = static_cast<double>((size - kMapHeaderSize) / kMapRecordSize);
    if (map.count > 0.0f) map.records.reserve(static_cast<size_t>(std::min(static_cast<double>(map.count), fit)));
    // Compared in double, as the count is a float and the index may pass 2^24.
    for (int64_t i = 0; static_cast<double>(map.count) > static_cast<double>(i); ++i) {
        if (size - map.bytesUsed < kMapRecordSize) break;
        const uint8_t* record = bytes + map.bytesUsed;
        QuadRecord quad;
        for (int k = 0; k < 8; ++k) quad.corners[k] = decodeFloat(record + 4 * k);
        quad.tag = record[32];
        map.records.push_back(quad);
        map.bytesUsed += kMapRecordSize;
    }
    return map;
}

std::vector<uint8_t> encodeMap(const std::vector<QuadRecord>& records) {
    return encodeMap(static_cast<float>(records.size()), records);
}

std::vector<uint8_t> encodeMap(float count, const std::vector<QuadRecord>& records) {
    std::vector<uint8_t> bytes(kMapHeaderSize + kMapRecordSize * records.size());
    encodeFloat(count, bytes.data());
    uint8_t* out = bytes.data() + kMapHeaderSize;
    for (const QuadRecord& quad : records) {
        for (int k = 0; k < 8; ++k) encodeFloat(quad.corners[k], out + 4 * k);
        out[32] = quad.tag;
        out += kMapRecordSize;
    }
    return bytes;
}

namespace {
// "%.6g" of value. A whole number below a million, which every corner on the editor's grid is,
// prints as its digits alone (negative zero as "-0"), so it is written as an integer, several
// times faster than the general formatting.
char* formatCorner(char* p, char* end, float value) {
    constexpr float kWholeBelow = 1.0e6f;
    if (std::fabs(value) < kWholeBelow && value == std::trunc(value)) {
        if (value == 0.0f && std::signbit(value)) *p++ = '-';
        return std::to_chars(p, end, static_cast<int32_t>(value)).ptr;
    }
    return std::to_chars(p, end, static_cast<double>(value), std::chars_format::general, 6).ptr;
}
}  // namespace

void printMapRecords(const MapData& map, std::ostream& out) {
    out << "Find " << static_cast<double>(map.count) << " quads\n";
    // A stream prints a float as printf's "%.6g" of its double value, in the C locale; to_chars
    // with the same precision is specified to give those very characters, without the stream's
    // per-value cost (most of a large load went there).
    // Lines are gathered into a block and handed to the stream a block at a time.
    constexpr size_t kLineRoom = 32 + 8 * 24;  // the longest line and more
    char block[64 * 1024];
    char* p = block;
    int64_t i = 0;
    for (const QuadRecord& quad : map.records) {
        ++i;
        if (static_cast<size_t>(block + sizeof block - p) < kLineRoom) {
            out.write(block, p - block);
            p = block;
        }
        char* const end = p + kLineRoom;
        p = std::to_chars(p, end, i).ptr;
        *p++ = '.';
        *p++ = '(';
        for (float value : quad.corners) {
            p = formatCorner(p, end, value);
            *p++ = ',';
        }
        *p++ = quad.tag != 0 ? '1' : '0';
        *p++ = ')';
        *p++ = '\n';
    }
    out.write(block, p - block);
}
