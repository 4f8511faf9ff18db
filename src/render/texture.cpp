// texture.cpp: sprite sheet records, their registry by file name, and start-up loading.
#include "render/texture.h"

#include <GL/gl.h>
#include <SOIL/SOIL.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>

#include "render/png_image.h"
#include "core/data_search.h"

namespace {
struct Sheets {
    std::vector<std::unique_ptr<Texture>> all;  // owns every record, in creation order
    std::vector<Texture*> frontLayer;
    std::vector<Texture*> backLayer;
    Texture* car = nullptr;
    uint32_t lightmap = 0;
    float lightmapWidth = 0.0f, lightmapHeight = 0.0f;
    // File name -> the record loaded last under it; borrowed from all.
    std::map<std::string, Texture*> registry;
    // Whether the sheets' names came from GL, so that releasing them must call GL.
    bool useGl = true;
    // Level sheets taken out of the registry whose GL textures still wait to be deleted.
    std::vector<uint32_t> retiredGlNames;
};
Sheets sheets;
auto& textureRegistry = sheets.registry;
}  // namespace

const std::vector<std::unique_ptr<Texture>>& allTextures() { return sheets.all; }
const std::vector<Texture*>& frontLayerSheets() { return sheets.frontLayer; }
const std::vector<Texture*>& backLayerSheets() { return sheets.backLayer; }
Texture* carTexture() { return sheets.car; }
void setCarTexture(Texture* texture) { sheets.car = texture; }
void addToFrontLayer(Texture& texture) { sheets.frontLayer.push_back(&texture); }
void addToBackLayer(Texture& texture) { sheets.backLayer.push_back(&texture); }
uint32_t lightmapTexture() { return sheets.lightmap; }
float lightmapWidth() { return sheets.lightmapWidth; }
float lightmapHeight() { return sheets.lightmapHeight; }

const SheetSpec startupSheets[kStartupSheetCount] = {
    {"Car.png", 75, 32, 35, 16, 1, 1},
    {"image.png", 32, 32, 16, 16, 1, 1},
    {"animation.png", 7, 32, 16, 16, 64, 1},  // 7 wide, anchor 16: the quad spans x -16 .. -9
    {"hud0.png", 256, 256, 32, 256, 1, 1},
    {"hud1.png", 256, 256, 128, 128, 1, 1},
    {"hud2.png", 25, 45, 11, 21, 4, 2},
    {"background.png", 512, 512, 0, 0, 1, 1},
    {"explosion.png", 64, 64, 33, 39, 5, 5},
    {"image9.png", 16, 16, 8, 8, 3, 3},
    {"bloomtest.png", 32, 32, 15, 17, 2, 4},
    {"light.png", 750, 430, 160, 216, 1, 1},
    {"light1.png", 600, 600, 300, 300, 1, 1},
};

namespace {
constexpr float kImage9GlowFactor = 3.0f;      // image9's glow frames are three times the base
constexpr float kBloomtestGlowFactor = 1.85f;  // bloomtest's glow frames
constexpr int32_t kLightmapSize = 512;         // pixels, square

}  // namespace

uint32_t loadImageWithGl(const std::string& fileName) {
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    DecodedImage image;
    std::string error;
    const std::string path = findDataFile(fileName);
    if (path.empty()) {  // in no folder searched: named bare, as a missing file of the working folder is
        std::cerr << fileName << ": cannot open: " << std::strerror(ENOENT) << std::endl;
        return 0;
    }
    if (!decodePngFile(path, PngLimits{maxSide, kMaxDecodedImageBytes}, image, error)) {
        std::cerr << path << ": " << error << std::endl;
        return 0;
    }
    // POWER_OF_TWO alone: keep the file's channels, scale odd sizes up, no mipmaps, no flip.
    const uint32_t name = SOIL_create_OGL_texture(image.pixels.data(), image.width, image.height,
                                                  image.channels, SOIL_CREATE_NEW_ID,
                                                  SOIL_FLAG_POWER_OF_TWO);
    if (name == 0) {
        std::cerr << path << ": cannot make a texture: " << SOIL_last_result() << std::endl;
        return 0;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, name);
    return name;
}

uint32_t loadNoImage(const std::string&) { return 0; }

Texture& createTexture() {
    sheets.all.push_back(std::make_unique<Texture>());
    return *sheets.all.back();
}

void releaseGlTextures() {
    if (imageLoaderUsesGl()) {
        for (const auto& texture : sheets.all) {
            const GLuint name = texture->glName;
            if (name != 0) glDeleteTextures(1, &name);
        }
        const GLuint lightmap = sheets.lightmap;
        if (lightmap != 0) glDeleteTextures(1, &lightmap);
    }
    for (const auto& texture : sheets.all) texture->glName = 0;
    sheets.lightmap = 0;
}

void unloadAllTextures(bool deleteGlTextures) {
    if (deleteGlTextures) releaseGlTextures();
    sheets = Sheets();
}

bool imageLoaderUsesGl() { return sheets.useGl; }

void layoutSheet(Texture& texture, int32_t width, int32_t height, int32_t anchorX,
                 int32_t anchorY, int32_t columns, int32_t rows, std::ostream& log) {
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    texture.diagonal = std::sqrt(w * w + h * h);
    texture.columns = columns;
    texture.rows = rows;
    texture.frameCount = columns * rows;
    texture.anchorX = static_cast<float>(anchorX);
    texture.anchorY = static_cast<float>(anchorY);
    const int32_t frameCount = texture.frameCount > 0 ? texture.frameCount : 0;
    texture.texCoords.assign(static_cast<size_t>(frameCount) * 8, 0.0f);

    log << "Anim columns:" << columns << "  Anim Rows:" << rows << "  Frames:"
        << texture.frameCount << std::endl;
    const float tx = 1.0f / static_cast<float>(columns);
    const float ty = 1.0f / static_cast<float>(rows);
    log << "Tx:" << tx << "  Ty:" << ty << "  1/Tx:" << (1 / tx) << std::endl;

    for (int32_t i = 0; i < rows; ++i) {
        for (int32_t j = 0; j < columns; ++j) {
            const int32_t k = i * columns + j;
            log << k << " /" << j << "/" << i << std::endl;
            const float s0 = static_cast<float>(j) * tx;
            const float s1 = static_cast<float>(j) * tx + tx;
            const float t0 = static_cast<float>(i) * ty;
            const float t1 = static_cast<float>(i) * ty + ty;
            float* st = &texture.texCoords[static_cast<size_t>(k) * 8];
            st[0] = s0, st[1] = t0;
            st[2] = s1, st[3] = t0;
            st[4] = s1, st[5] = t1;
            st[6] = s0, st[7] = t1;
        }
    }

    // One quad for every frame; the image's first row meets its y0 edge.
    const int32_t x0 = static_cast<int32_t>(-texture.anchorX);
    const int32_t y0 = static_cast<int32_t>(-texture.anchorY);
    const int32_t x1 = static_cast<int32_t>(w - texture.anchorX);
    const int32_t y1 = static_cast<int32_t>(h - texture.anchorY);
    texture.vertices.assign(static_cast<size_t>(frameCount) * 8, 0);
    for (int32_t k = 0; k < frameCount; ++k) {
        int32_t* v = &texture.vertices[static_cast<size_t>(k) * 8];
        v[0] = x0, v[1] = y0;
        v[2] = x1, v[3] = y0;
        v[4] = x1, v[5] = y1;
        v[6] = x0, v[7] = y1;
    }
}

void loadSheet(Texture& texture, const std::string& fileName, int32_t width, int32_t height,
               int32_t anchorX, int32_t anchorY, int32_t columns, int32_t rows,
               ImageLoader loader) {
    sheets.useGl = loader == loadImageWithGl;
    texture.fileName = fileName;
    textureRegistry[fileName] = &texture;  // a reload under the same name wins
    texture.glName = loader(fileName);
    texture.loaded = texture.glName != 0;  // a missing image is silent: texture 0 is drawn
    layoutSheet(texture, width, height, anchorX, anchorY, columns, rows, std::cout);
    if (imageLoaderUsesGl()) glDisable(GL_TEXTURE_2D);
}

void makePaired(Texture& texture, float factor) {
    texture.paired = true;
    const size_t frameCount = texture.vertices.size() / 8;
    for (size_t k = 1; k < frameCount; k += 2) {
        for (size_t n = 0; n < 8; ++n) {
            int32_t& v = texture.vertices[k * 8 + n];
            v = static_cast<int32_t>(factor * static_cast<float>(v));  // toward zero
        }
    }
}

Texture& addLevelSheet(const std::string& name, std::vector<uint8_t> pixels, int32_t width, int32_t height,
                       int32_t channels, int32_t columns, int32_t rows) {
    Texture& texture = createTexture();
    texture.fileName = name;
    texture.levelSheet = true;
    texture.waitingPixels = std::move(pixels);
    texture.waitingWidth = width;
    texture.waitingHeight = height;
    texture.waitingChannels = channels;
    textureRegistry[name] = &texture;
    const int32_t frameWidth = width / columns, frameHeight = height / rows;
    // The layout's lines are the start-up sheets' record; a level's sheet keeps the console quiet.
    std::ostringstream quiet;
    layoutSheet(texture, frameWidth, frameHeight, frameWidth / 2, frameHeight / 2, columns, rows, quiet);
    return texture;
}

void uploadLevelSheets() {
    if (!sheets.retiredGlNames.empty()) {
        glDeleteTextures(static_cast<GLsizei>(sheets.retiredGlNames.size()), sheets.retiredGlNames.data());
        sheets.retiredGlNames.clear();
    }
    bool made = false;
    for (const auto& texture : sheets.all) {
        if (!texture->levelSheet || texture->waitingPixels.empty()) continue;
        texture->glName = SOIL_create_OGL_texture(texture->waitingPixels.data(), texture->waitingWidth,
                                                  texture->waitingHeight, texture->waitingChannels,
                                                  SOIL_CREATE_NEW_ID, SOIL_FLAG_POWER_OF_TWO);
        texture->loaded = texture->glName != 0;
        texture->waitingPixels.clear();
        texture->waitingPixels.shrink_to_fit();
        made = true;
    }
    if (made) glBindTexture(GL_TEXTURE_2D, 0);  // the drawing that follows binds its own
}

void retireLevelSheets() {
    auto& all = sheets.all;
    for (auto it = all.begin(); it != all.end();) {
        if (!(*it)->levelSheet) {
            ++it;
            continue;
        }
        const auto named = textureRegistry.find((*it)->fileName);
        if (named != textureRegistry.end() && named->second == it->get()) textureRegistry.erase(named);
        if ((*it)->glName != 0) sheets.retiredGlNames.push_back((*it)->glName);
        it = all.erase(it);
    }
}

Texture* findTexture(const std::string& fileName) {
    const auto found = textureRegistry.find(fileName);
    return found != textureRegistry.end() ? found->second : nullptr;
}

void loadAllTextures(ImageLoader loader) {
    for (const SheetSpec& sheet : startupSheets) {
        Texture* texture = &createTexture();
        loadSheet(*texture, sheet.fileName, sheet.width, sheet.height, sheet.anchorX,
                  sheet.anchorY, sheet.columns, sheet.rows, loader);
        const std::string name = sheet.fileName;
        if (name == "Car.png") {
            sheets.car = texture;
        } else if (name == "animation.png") {
            sheets.backLayer.push_back(texture);
        } else if (name == "explosion.png") {
            texture->glow = true;
            sheets.frontLayer.push_back(texture);
        } else if (name == "image9.png") {
            makePaired(*texture, kImage9GlowFactor);
            sheets.frontLayer.push_back(texture);
        } else if (name == "bloomtest.png") {
            makePaired(*texture, kBloomtestGlowFactor);
            sheets.frontLayer.push_back(texture);
        }
    }
    createLightmapTexture(loader == loadImageWithGl);
}

void createLightmapTexture(bool useGl) {
    sheets.useGl = useGl;
    if (useGl && glIsTexture(sheets.lightmap)) return;
    sheets.lightmapWidth = static_cast<float>(kLightmapSize);
    sheets.lightmapHeight = static_cast<float>(kLightmapSize);
    std::cout << "Creating Lightmap texture: " << sheets.lightmapWidth << " x " << sheets.lightmapHeight
              << std::endl;
    if (!useGl) return;  // headless: the numbers are set, no texture exists
    GLuint name = 0;
    glGenTextures(1, &name);
    sheets.lightmap = name;
    glBindTexture(GL_TEXTURE_2D, sheets.lightmap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, static_cast<GLsizei>(sheets.lightmapWidth),
                 static_cast<GLsizei>(sheets.lightmapHeight), 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
}
