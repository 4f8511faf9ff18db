// map_codec.h: the bytes of a map file and back, and the loader's console lines (no files, no
// physics). A map file is a float32 quad count and then 33-byte records, all little-endian.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

constexpr size_t kMapHeaderSize = 4;   // the float32 count
constexpr size_t kMapRecordSize = 33;  // 8 x float32 corners (x0 y0 .. x3 y3), 1 tag byte

// One record as it stands in the file: corners in world units, the tag byte unread.
struct QuadRecord {
    float corners[8] = {};
    uint8_t tag = 0;
};

// What a loader reads from a file: the stored count and the complete records it promises.
struct MapData {
    float count = 0.0f;               // as stored; 0 when the file is shorter than its header
    std::vector<QuadRecord> records;  // while count > index and a whole record remains
    size_t bytesUsed = 0;             // header and records; anything after them is ignored
};

// The count is only a promise: records are taken one at a time until either the count or the
// data runs out, so a short file or an absurd count never yields a record from absent bytes.
MapData decodeMap(const uint8_t* bytes, size_t size);
// The file for these records, with the count stored as float32(records.size()).
std::vector<uint8_t> encodeMap(const std::vector<QuadRecord>& records);
// The same with a stored count of the caller's choosing.
std::vector<uint8_t> encodeMap(float count, const std::vector<QuadRecord>& records);

// "Find N quads", then "i.(x0,y0,...,y3,tag)" for each record; the caller flushes out.
void printMapRecords(const MapData& map, std::ostream& out);

// Little-endian float32 at bytes[0..3], and back.
float decodeFloat(const uint8_t* bytes);
void encodeFloat(float value, uint8_t* bytes);
