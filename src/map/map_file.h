// map_file.h: map.txt on disk: its bytes, the quads made from them, and the safe save.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "map/map_codec.h"

constexpr const char* kMapFileName = "map.txt";  // in the working folder

// The whole content of path when it is a regular file that could be read; false, with bytes
// emptied, when it is missing, not a regular file (a folder or a pipe never blocks) or unreadable.
// why gets the reason in a few words, or stays empty for a missing file.
bool readMapFile(const char* path, std::vector<uint8_t>& bytes, std::string& why);
// Creates one quad per record, in file order, as the editor creates them; tags are not kept.
void createMapQuads(const MapData& map);
// The current quads as file records (corners as they stand, tag 1 or 0).
std::vector<QuadRecord> currentMapRecords();
// Writes the map to map.txt atomically, keeping the previous one as map.txt.bak (itself replaced
// atomically) and clearing temporaries a killed save left. A failure leaves both files as they
// were, says why in one line on standard error and returns false with the same reason in why,
// naming the file: "cannot write map.txt.tmp: No space left...".
bool saveMap(std::string& why);
