// texture.h: sprite sheets, their effect state and the registry that finds them by file name.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct BatchSprite {
    int32_t frame = 0;
    float x = 0.0f, y = 0.0f;
    float extra1 = 0.0f, extra2 = 0.0f;  // stored as passed; nothing draws with them
    float angle = 0.0f;                  // degrees; +x turns toward +y
};

struct LightSprite {
    float x = 0.0f, y = 0.0f;
    uint8_t flag = 0;  // stored as passed, cleared when drawn, read by nothing
    float angle = 0.0f;
    float red = 0.0f, green = 0.0f, blue = 0.0f;
};

// One-shot animation over the sheet's frames, 100 steps long.
struct Burst {
    float x = 0.0f, y = 0.0f;
    float angle = 0.0f;
    float phase = 0.0f;  // 0 .. 1
    bool finished = false;
};

// Looping or one-shot light effect that drifts on a small circle and changes colour.
struct Flicker {
    float x = 0.0f, y = 0.0f;
    float centerX = 0.0f, centerY = 0.0f;
    float angle = 0.0f;
    float speed = 0.0f;
    float phase = 0.0f;
    int32_t mode = 0;  // 0 warm flicker with drift, 1 grey pulse, other: phase only
    float red = 0.8f, green = 0.8f, blue = 0.8f;
    bool looping = false;
    bool dead = false;
};

constexpr int32_t kBatchCapacity = 4000;
constexpr int32_t kLightCapacity = 200;

struct Texture {
    Texture();  // appends the record to allTextures
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
    std::vector<Burst> bursts;
    std::vector<Flicker> flickers;
    int32_t batchCount = 0;
    BatchSprite batch[kBatchCapacity];
    int32_t lightCount = 0;
    LightSprite lights[kLightCapacity];
};

// Every record in construction order; records live until the process ends.
extern std::vector<Texture*> allTextures;
extern std::vector<Texture*> frontLayerSheets;  // explosion, image9, bloomtest
extern std::vector<Texture*> backLayerSheets;   // animation
extern Texture* carTexture;

extern uint32_t lightmapTexture;
extern float lightmapWidth, lightmapHeight;

// Turns an image file into a GL texture name (0 on failure). The default decodes PNG with
// libpng, makes the texture with SOIL, says why on standard error when it fails, and needs a GL
// context; headless runs install one that returns 0 without touching GL.
using ImageLoader = uint32_t (*)(const std::string& fileName);
void setImageLoader(ImageLoader loader);
bool imageLoaderUsesGl();

void loadSheet(Texture& texture, const std::string& fileName, int32_t width, int32_t height,
               int32_t anchorX, int32_t anchorY, int32_t columns, int32_t rows);
void makePaired(Texture& texture, float factor);
Texture* findTexture(const std::string& fileName);  // nullptr for a name never loaded
void loadAllTextures();
void createLightmapTexture();

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
