// frame_floor.h: one game frame's GL work replayed from prepared arrays, the floor that game
// frames are measured against: no actors, no queues, no culling, no geometry built per frame.
#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <string>
#include <vector>

// A sheet as GL sees it: texture name and its frames' int vertices and float coordinates
// (borrowed; they must outlive the scene).
struct FloorSheet {
    GLuint glName = 0;
    const int32_t* vertices = nullptr;
    const float* texCoords = nullptr;
};

// One drawn light: its quad at vertex 0, shadow quads from vertex 4 and the casters' corners
// from vertex half + 4, as int (x, y) pairs in world units.
struct FloorLight {
    float x = 0, y = 0, angle = 0;  // world units, degrees
    float red = 0, green = 0, blue = 0;
    std::vector<int32_t> coords;
    int32_t half = 0, casterCount = 0;
    bool scissor = false;  // when set, the light's draws are cut to box (window pixels)
    GLint box[4] = {0, 0, 0, 0};
};

struct FloorLightSheet {
    FloorSheet sheet;
    std::vector<FloorLight> lights;
};

// One sprite moved into place by the model-view matrix.
struct FloorSprite {
    int32_t firstVertex = 0;
    float x = 0, y = 0, angle = 0;  // world units, degrees
};

// A sheet's sprites in one pass; additive passes blend (SRC_ALPHA, ONE) at colour alpha.
struct FloorSpritePass {
    bool additive = false;
    float alpha = 1.0f;
    std::vector<FloorSprite> sprites;
};

struct FloorSpriteSheet {
    FloorSheet sheet;
    std::vector<FloorSpritePass> passes;
};

// One array draw of map quads, float (x, y) and (s, t) pairs.
struct FloorMapDraw {
    GLuint glName = 0;
    std::vector<float> vertices, texCoords;
};

// A HUD sprite: frame of a sheet at (x, y) view units, turned and scaled unless plain.
struct FloorHudSprite {
    FloorSheet sheet;
    int32_t firstVertex = 0;
    float x = 0, y = 0, angle = 0, scale = 1;
    bool plain = false;  // translate only
};

// Everything one frame draws; camera and view in world units, rotation in degrees.
struct FloorScene {
    float cameraX = 0, cameraY = 0, viewW = 1024, viewH = 600, zoomX = 1, zoomY = 1, rotation = 0;
    int windowW = 1024, windowH = 600, lightmapSize = 512;
    GLuint lightmapTexture = 0;
    std::vector<FloorLightSheet> lightSheets;
    GLuint background = 0;
    float backgroundVertices[8] = {}, backgroundTexCoords[8] = {};
    std::vector<FloorMapDraw> map;
    std::vector<FloorSpriteSheet> sprites;
    GLuint carImage = 0;
    float carX = 0, carY = 0, carHalfW = 0, carHalfH = 0;  // world units
    std::vector<FloorHudSprite> hud;
    std::string text;  // drawn at (10, 10) with the 9 x 15 bitmap font
};

// Draws scene and swaps the buffers; GL context required.
void drawFloorFrame(const FloorScene& scene);
