// map_loader_fuzz.cpp: feeds arbitrary bytes to the game's map loader as map.txt, then checks
// the quads against the bytes, their bodies, and the shadow geometry of every loaded quad for
// lights placed around it.
#include <box2d/box2d.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "game/map_loading.h"
#include "fuzz_support.h"
#include "map/map_codec.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"

namespace {
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::makeWorkFolder("kelvoran-fuzz", true);
    std::ostringstream quiet;
    std::streambuf* console = std::cout.rdbuf(quiet.rdbuf());
    loadAllTextures(loadNoImage);
    std::cout.rdbuf(console);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen("map.txt", "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);

    std::ostringstream quiet;
    std::streambuf* console = std::cout.rdbuf(quiet.rdbuf());
    loadMap();  // the first run starts the world, every later one is a reload
    std::cout.rdbuf(console);

    // Every quad came from a complete record of these bytes and holds its corners or, rejected
    // by the geometry check, zeros.
    const size_t complete = size < kMapHeaderSize ? 0 : (size - kMapHeaderSize) / kMapRecordSize;
    const MapData map = decodeMap(data, size);
    if (static_cast<size_t>(getQuadCount()) > complete) fuzz::fail("more quads than records");
    if (getQuadCount() != static_cast<int32_t>(map.records.size())) fuzz::fail("quad count");
    for (size_t i = 0; i < mapQuads().size(); ++i) {
        const Vec2f* v = mapQuads()[i].vertices;
        const uint8_t* record = data + kMapHeaderSize + i * kMapRecordSize;  // little-endian floats
        const bool fromFile = std::memcmp(v, record, 8 * sizeof(float)) == 0;
        const bool zero = std::all_of(v, v + 4, [](Vec2f p) { return p.x == 0.0f && p.y == 0.0f; });
        if (!fromFile && !zero) fuzz::fail("quad corners from bytes that were not read");
    }
    fuzz::checkAll();
    getWorld()->Step(0.01f, 5, 6);
    return 0;
}
