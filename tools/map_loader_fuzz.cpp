// map_loader_fuzz.cpp: feeds arbitrary bytes to the game's map loader as map.txt, then builds
// the shadow geometry of every loaded quad for lights placed around it.
#include <box2d/box2d.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "app/map_loading.h"
#include "lighting/shadow_quad.h"
#include "map/map_quad.h"
#include "map/physics_world.h"
#include "render/texture.h"

namespace {

uint32_t noImage(const std::string&) { return 0; }

std::string workFolder;  // made at start, removed at exit
void removeWorkFolder() { std::filesystem::remove_all(workFolder); }

// Lights at the quad's centre, just off each corner and far away: every silhouette case.
void checkShadowsOf(const MapQuad& quad, LightVertices& buffer) {
    const int32_t lightQuad[8] = {-300, -300, 300, -300, 300, 300, -300, 300};
    Vec2f lights[6] = {quad.center, {quad.vertices[0].x - 5, quad.vertices[0].y - 5},
                       {quad.vertices[2].x + 5, quad.vertices[2].y + 5}, {0, 0},
                       {1e30f, -1e30f}, {quad.center.x + 650, quad.center.y}};
    for (const Vec2f& light : lights) {
        const ShadowQuad shadow = buildShadowQuad(quad, light);
        (void)shadow;  // any out-of-range conversion inside would have trapped already
        buildLightVertices(buffer, lightQuad, light);
        if (buffer.casterCount < 0 || buffer.casterCount > getQuadCount()) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/kelvoran-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) std::abort();
    workFolder = pattern;
    std::atexit(removeWorkFolder);
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

    // Every quad came from a complete record, and only sound corners have a body, in this world.
    const int64_t complete = size < 4 ? 0 : static_cast<int64_t>((size - 4) / 33);
    if (getQuadCount() > complete) std::abort();
    static LightVertices buffer;
    for (const auto& quad : mapQuads) {
        if (quad->body != nullptr && !isValidBodyPolygon(quad->vertices)) std::abort();
        if (quad->body != nullptr && quad->body->GetWorld() != getWorld()) std::abort();
        checkShadowsOf(*quad, buffer);
    }
    getWorld()->Step(0.01f, 5, 6);
    return 0;
}
