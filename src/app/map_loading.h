// map_loading.h: loading map.txt into the running game, at start-up and on keys 7 and 8.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// At start-up (no world yet) creates the physics world, then reads map.txt. On a reload, once
// the file is known to be readable, moves every actor body into a fresh world and replaces all
// quads with the file's; a missing or unreadable file leaves the game as it was. Prints the
// loading lines on standard output. A reload is one undoable map edit: undo gives back the map
// it replaced. True when map.txt was read.
bool loadMap();

// Where loadMap gets the bytes of map.txt: fills bytes and returns true, or returns false (bytes
// empty) when there is no readable file, with the reason in problem (may be null; left empty for
// a missing file, which is simply an empty map). The default reads map.txt in the working folder; the
// recorder wraps it and the replay hands back the recorded bytes. nullptr restores the default.
using MapReader = bool (*)(std::vector<uint8_t>& bytes, std::string* problem);
void setMapReader(MapReader reader);
bool readMapFromDisk(std::vector<uint8_t>& bytes, std::string* problem);  // the default
