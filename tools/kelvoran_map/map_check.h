// map_check.h: what the game would make of a map file, record by record, and the problems.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "map/map_codec.h"
#include "map/map_quad.h"

// The game's view of one record. Quad numbers are 1-based, as the loader prints them.
struct RecordVerdict {
    CornerFault fault = CornerFault::None;  // anything but None: the game keeps zero corners
    bool body = false;             // the game gives the quad a physics shape (a static fixture)
    bool lightingInRange = true;   // its corners and shadows fit the lighting's int32 geometry
    int64_t duplicateOf = 0;       // number of the earlier quad at the same place, 0 for none
};

// A whole file as the game reads it.
struct MapReport {
    MapData map;                          // count, records and bytes used, from the engine's codec
    size_t fileSize = 0;                  // bytes
    std::vector<RecordVerdict> verdicts;  // one per record, in file order
};

MapReport examineMap(const std::vector<uint8_t>& bytes);
// True when the file is exactly a whole count's worth of records.
bool countMatchesLength(const MapReport& report);
// One line per problem (no line ends), in file order: the count first, then per quad.
std::vector<std::string> problemLines(const MapReport& report);
// The records without the rejected and duplicated ones, in file order.
std::vector<QuadRecord> keptRecords(const MapReport& report);
// The record's corners as the engine's corner points.
void recordCorners(const QuadRecord& record, Vec2f corners[4]);
