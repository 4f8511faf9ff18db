// map_loading.cpp: the game-level load and reload of map.txt, where the map meets the actors.
#include "game/map_loading.h"

#include <box2d/box2d.h>

#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "core/chunked_echo.h"
#include "core/heap_upkeep.h"
#include "game/host.h"
#include "game/invariants.h"
#include "map/map_codec.h"
#include "map/map_file.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"

namespace {

// The actors keep their bodies, moved into the new world; the quads' fixtures go with the old one.
void replaceWorld() {
    WorldPtr old = createWorld();
    moveActorBodiesTo(*getWorld());
    clearMapQuads(false);
}

// The record lines go out a chunk at a time, not a flush per line (two thirds of a large load
// went there), and all of them are out before the quads are built, should that go wrong.
void echoRecords(const MapData& map) {
    ChunkedEcho chunks(std::cout);
    std::ostream echo(&chunks);
    echo.copyfmt(std::cout);
    printMapRecords(map, echo);
    echo.flush();
}

// The load itself; loadMap checks the invariants after it, whichever way it ends.
bool readMapIntoGame() {
    const bool startUp = getWorld() == nullptr;
    if (startUp) createWorld();
    std::vector<uint8_t> bytes;
    std::string problem;
    const bool readable = host().readMap(bytes, problem);
    std::cout << "Loading map.txt" << std::endl;
    if (!readable) {
        // A missing map is an empty one; anything else that is not a readable map is reported.
        if (!problem.empty()) {
            std::cerr << kMapFileName << " not loaded: " << problem
                      << (startUp ? "; the map starts empty" : "; the current map stays")
                      << std::endl;
        }
        return false;
    }
    if (!startUp) {
        recordWholeMap("reload map.txt");
        replaceWorld();
    }
    std::cout << "File exist" << std::endl;
    {
        const MapData map = decodeMap(bytes.data(), bytes.size());
        std::vector<uint8_t>().swap(bytes);  // the records hold all of it now
        echoRecords(map);
        createMapQuads(map);
    }  // the records go too: from the line on, the map holds only its quads and fixtures
    // The pages freed between live blocks (the file, the records, an old world's bodies, the
    // broad phase's outgrown arrays) go back to the system, at start-up as on a reload.
    returnFreedHeap();
    std::cout << "End of loading" << std::endl;
    return true;
}

}  // namespace

bool loadMap() {
    const bool read = readMapIntoGame();
    checkGameInvariants("after loading map.txt", true);
    return read;
}
