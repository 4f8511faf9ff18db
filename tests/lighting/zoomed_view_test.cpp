// zoomed_view_test.cpp: at the wheel's zooms, the lightmap, its composite and the culled map
// drawing match their plain forms: no light cut short by the scissor, no quad lost by culling.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <vector>

#include "core/camera.h"
#include "lighting/lightmap.h"
#include "map/map_draw.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/effects.h"
#include "render/texture.h"
#include "render/view.h"
#include "support/gl_window.h"

namespace {
std::vector<uint8_t> pixels(int width, int height) {
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
}

void drawMapQuadByQuad() {
    for (const auto& quad : mapQuads()) {
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        drawQuad(quad);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisable(GL_TEXTURE_2D);
    }
}

// The frame's world drawing state; the lightmap pass expects the model-view identity it is
// called with in a frame, so each pass below starts from glLoadIdentity.
void worldView() {
    applyWorldProjection();
    glLoadIdentity();
    applyWorldTransform();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
}
}  // namespace

TEST(ZoomedView, LightmapCompositeAndCulledMapEqualTheirPlainFormsAtHalfAndDoubleZoom) {
    openTestWindow(1024, 600);
    // The sheets from a copy of their own, so nothing the test does can reach the tracked files.
    const std::string folder = enterTempFolder("kelvoran-zoomed-view");
    copyAssetsHere();
    captureStdout([] { loadAllTextures(); });
    createWorld();
    Texture& light = *findTexture("light1.png");
    std::mt19937 gen(3);
    auto uniform = [&gen](float low, float high) { return std::uniform_real_distribution<float>(low, high)(gen); };
    for (const float z : {0.5f, 2.0f}) {
        for (int scene = 0; scene < 4; ++scene) {
            clearMapQuads(true);
            const float cx = uniform(-400, 400), cy = uniform(-300, 300);
            setCamera(cx, cy, 1024, 600, z, z, 0);
            for (int i = 0; i < 150; ++i) {
                const float x = cx + uniform(-1200, 1200), y = cy + uniform(-700, 700), s = uniform(4, 120);
                MapQuad& quad = createQuad(x, y, x + s, y + uniform(-s, s) * 0.3f, x + s, y + s, x, y + s);
                quad.selected = gen() % 8 == 0;
            }
            std::vector<Vec2f> lights;
            for (int i = 0; i < 12; ++i) lights.push_back({cx + uniform(-1000, 1000), cy + uniform(-580, 580)});
            std::vector<uint8_t> lightmaps[2];
            for (int cut = 0; cut < 2; ++cut) {
                setLightScissorEnabled(cut == 1);
                for (const Vec2f l : lights) pushLight(light, l.x, l.y, 0, 0.8f, 0.7f, 0.5f, 0);
                glLoadIdentity();
                glClear(GL_COLOR_BUFFER_BIT);
                renderLightmap();
                lightmaps[cut] = pixels(512, 512);
            }
            setLightScissorEnabled(true);
            ASSERT_TRUE(lightmaps[0] == lightmaps[1]) << "zoom " << z << " scene " << scene;

            worldView();
            glClear(GL_COLOR_BUFFER_BIT);
            drawMapQuadByQuad();
            const std::vector<uint8_t> plain = pixels(1024, 600);
            glClear(GL_COLOR_BUFFER_BIT);
            drawMap();
            ASSERT_TRUE(pixels(1024, 600) == plain) << "zoom " << z << " scene " << scene;
        }
        // With no lights the composite multiplies the whole window, edges and corners too, by the
        // ambient level; zoomed out, a light well beyond 800 units but on screen still shines.
        clearMapQuads(true);
        setCamera(0, 0, 1024, 600, z, z, 0);
        const float farX = 900.0f;  // on screen at zoom 0.5, off it at 2
        pushLight(light, farX, 0, 0, 1, 1, 1, 0);
        glLoadIdentity();
        glClear(GL_COLOR_BUFFER_BIT);
        renderLightmap();
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0.025f, 0.025f, 0.125f, 1.0f);
        worldView();
        compositeLightmap();
        for (const auto& at : {std::pair<int, int>{1, 1}, {1022, 1}, {1, 598}, {1022, 598}, {300, 300}}) {
            const Rgba c = readPixel(at.first, at.second);
            EXPECT_NEAR(c.r, 0.05f, 0.02f) << "zoom " << z << " at " << at.first << "," << at.second;
            EXPECT_NEAR(c.b, 0.25f, 0.02f) << "zoom " << z << " at " << at.first << "," << at.second;
        }
        const Rgba lit = readPixel(static_cast<int>(512 + farX * z), 300);
        if (z < 1.0f) {
            EXPECT_GT(lit.r, 0.3f) << "the far light was skipped";
        }
    }
    clearMapQuads(true);
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    glLoadIdentity();
    leaveTempFolder(folder);
}
