// map_loader_fuzz.cpp: feeds arbitrary bytes to the map loader as map.txt.
#include <box2d/box2d.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "map/map_file.h"
#include "map/map_quad.h"
#include "map/physics_world.h"
#include "render/texture.h"

namespace {

uint32_t noImage(const std::string&) { return 0; }

}  // namespace

// The texture records and map quads live for the whole process, as in the game, so leak
// reports would only list them; AddressSanitizer reads this hook before main.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/kelvoran-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) std::abort();
    setImageLoader(noImage);
    std::ostringstream quiet;
    std::streambuf* console = std::cout.rdbuf(quiet.rdbuf());
    loadAllTextures();
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

    // Every quad came from a complete record, and only sound corners have a body.
    const int64_t complete = size < 4 ? 0 : static_cast<int64_t>((size - 4) / 33);
    if (getQuadCount() > complete) std::abort();
    for (const MapQuad* quad : mapQuads) {
        if (quad->body != nullptr && !isValidBodyPolygon(quad->vertices)) std::abort();
    }
    getWorld()->Step(0.01f, 5, 6);
    return 0;
}
