// map_loading.cpp: the game-level load and reload of map.txt, where the map meets the actors.
#include "app/map_loading.h"

#include <box2d/box2d.h>

#include <cstdint>
#include <iostream>
#include <memory>
#include <vector>

#include "actors/actor.h"
#include "map/map_codec.h"
#include "map/map_file.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "map/physics_world.h"

namespace {

// The actors keep their bodies, moved into the new world; the quads' bodies go with the old one.
void replaceWorld() {
    WorldPtr old = createWorld();
    moveActorBodiesTo(*getWorld());
    clearMapQuads(false);
}

MapReader mapReader = readMapFromDisk;

}  // namespace

bool readMapFromDisk(std::vector<uint8_t>& bytes) { return readMapFile(kMapFileName, bytes); }

void setMapReader(MapReader reader) { mapReader = reader ? reader : readMapFromDisk; }

bool loadMap() {
    const bool startUp = getWorld() == nullptr;
    if (startUp) createWorld();
    std::vector<uint8_t> bytes;
    const bool readable = mapReader(bytes);
    std::cout << "Loading map.txt" << std::endl;
    if (!readable) return false;
    if (!startUp) {
        recordWholeMap("reload map.txt");
        replaceWorld();
    }
    std::cout << "File exist" << std::endl;
    const MapData map = decodeMap(bytes.data(), bytes.size());
    printMapRecords(map, std::cout);
    createMapQuads(map);
    std::cout << "End of loading" << std::endl;
    return true;
}
