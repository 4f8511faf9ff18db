// texture.h: sprite sheets, their effect state and the registry that finds them by file name.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <memory>
#include <vector>

#include "render/sheet_queues.h"

// One sprite sheet: its GL texture and frame layout, and the effects and queues living on it.
struct Texture {
    Texture() = default;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    uint32_t glName = 0;  // 0 when the image failed to load
    std::string fileName;
    bool loaded = false;
    bool glow = false;    // drawn a second time, additively at alpha 0.65
    bool paired = false;  // even frame = image, odd frame after it = its glow
    int32_t columns = 0, rows = 0, frameCount = 0;
    float anchorX = 0.5f, anchorY = 0.5f;
    std::vector<float> texCoords;   // frameCount x 4 (s, t) pairs
    std::vector<int32_t> vertices;  // frameCount x 4 (x, y) pairs, pixels relative to the anchor
    float diagonal = 0.0f;
    SheetQueues queues;
    // A level's own sheet: its decoded pixels wait here until a frame, which has the GL context,
    // makes its texture.
    bool levelSheet = false;
    std::vector<uint8_t> waitingPixels;
    int32_t waitingWidth = 0, waitingHeight = 0, waitingChannels = 0;
};

// Every record, in creation order, owned here; records live until unloadAllTextures.
const std::vector<std::unique_ptr<Texture>>& allTextures();
// Borrowed views of records in allTextures.
const std::vector<Texture*>& frontLayerSheets();  // explosion, image9, bloomtest
const std::vector<Texture*>& backLayerSheets();   // animation
Texture* carTexture();                            // nullptr until loaded
void setCarTexture(Texture* texture);
void addToFrontLayer(Texture& texture);
void addToBackLayer(Texture& texture);

// Creates an empty record at the end of allTextures, which owns it.
Texture& createTexture();
// Deletes the sheets' and the lightmap's GL textures (the context must be current); the records
// stay, with GL name 0, for actors and quads that still point at them.
void releaseGlTextures();
// Deletes every record and empties the registry and lists; with deleteGlTextures (the context
// must be current) the GL textures go first.
void unloadAllTextures(bool deleteGlTextures);

uint32_t lightmapTexture();  // GL name owned here; 0 until created
float lightmapWidth();       // pixels; 512 each once created
float lightmapHeight();

// Turns an image file into a GL texture name (0 on failure).
using ImageLoader = uint32_t (*)(const std::string& fileName);
// Decodes PNG with libpng, makes the texture with SOIL, says why on standard error when it
// fails; needs a GL context.
uint32_t loadImageWithGl(const std::string& fileName);
uint32_t loadNoImage(const std::string& fileName);  // 0 without touching GL: runs with no window
bool imageLoaderUsesGl();  // whether the sheets loaded last came from loadImageWithGl

// Loads fileName into texture's GL name and lays out its frames (sizes and anchor in pixels),
// entering the record in the registry under fileName; prints the grid lines.
void loadSheet(Texture& texture, const std::string& fileName, int32_t width, int32_t height,
               int32_t anchorX, int32_t anchorY, int32_t columns, int32_t rows,
               ImageLoader loader = loadImageWithGl);
// Scales every odd (glow) frame's quad by factor, truncating toward zero.
void makePaired(Texture& texture, float factor);
Texture* findTexture(const std::string& fileName);  // borrowed; nullptr for a name never loaded
// A level's own sheet under name: the image laid out in columns x rows frames anchored at their
// centres, its texture made by the next uploadLevelSheets. No GL here, so the logic may call it.
Texture& addLevelSheet(const std::string& name, std::vector<uint8_t> pixels, int32_t width, int32_t height,
                       int32_t channels, int32_t columns, int32_t rows);
// With the GL context current: makes the textures of level sheets still waiting, and deletes
// those of the sheets retired since.
void uploadLevelSheets();
// Every level sheet leaves the registry (a level's script going); no GL here, the textures go at
// the next upload.
void retireLevelSheets();

// Creates and loads the twelve start-up sheets in table order, then the lightmap texture.
void loadAllTextures(ImageLoader loader = loadImageWithGl);
// The empty 512 x 512 RGB lightmap texture (once); without useGl only its size is set.
void createLightmapTexture(bool useGl = true);

// One row of the start-up table: frame size in pixels, anchor in pixels from the frame's first
// corner, and the frame grid laid over the image.
struct SheetSpec {
    const char* fileName = "";
    int32_t width = 0, height = 0;
    int32_t anchorX = 0, anchorY = 0;
    int32_t columns = 1, rows = 1;
};
constexpr int32_t kStartupSheetCount = 12;
extern const SheetSpec startupSheets[kStartupSheetCount];  // in loading order

// The GL-free half of loadSheet: frame grid, per-frame texture coordinates and quads, and the
// grid's console lines written to log.
void layoutSheet(Texture& texture, int32_t width, int32_t height, int32_t anchorX,
                 int32_t anchorY, int32_t columns, int32_t rows, std::ostream& log);
