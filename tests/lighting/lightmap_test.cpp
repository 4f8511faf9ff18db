// The lightmap pass and its composite in a real window: a white scene shows the lightmap
// doubled, so ambient, lights, shadows and culls can be read back as pixels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/camera.h"
#include "render/view.h"
#include "lighting/lightmap.h"
#include "map/map_quad.h"
#include "render/effects.h"
#include "render/shape_queue.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace {

constexpr float kAmbientR = 0.05f, kAmbientG = 0.05f, kAmbientB = 0.25f;
constexpr float kTolerance = 0.02f;
constexpr float kLitMargin = 0.08f;  // a lit spot must beat the ambient level by this much

class Lightmap : public testing::Test {
protected:
    void SetUp() override {
        openTestWindow(1024, 600);
        copyAssetsHere();
        captureStdout([] { loadAllTextures(); });
        ASSERT_NE(findTexture("light1.png"), nullptr);
        ASSERT_NE(findTexture("light1.png")->glName, 0u) << "light1.png did not load";
        setCamera(0, 0, 1024, 600, 1, 1, 0);
    }

    static void light(float x, float y, float r, float g, float b, float angle = 0) {
        pushLight(*findTexture("light1.png"), x, y, angle, r, g, b, 0);
    }

    // One frame as the game draws it, with a plain white scene in place of the world layers.
    static void renderWhiteScene() {
        glClear(GL_COLOR_BUFFER_BIT);
        renderLightmap();
        const Vec2f camera = cameraPosition();
        const Vec2f view = viewSize();
        applyWorldProjection();
        glPushMatrix();
        applyWorldTransform();
        glDisable(GL_BLEND);
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glVertex2f(camera.x - view.x / 2, camera.y - view.y / 2);
        glVertex2f(camera.x + view.x / 2, camera.y - view.y / 2);
        glVertex2f(camera.x + view.x / 2, camera.y + view.y / 2);
        glVertex2f(camera.x - view.x / 2, camera.y + view.y / 2);
        glEnd();
        glEnable(GL_BLEND);
        compositeLightmap();
        glPopMatrix();
    }

    // Mean colour of a 5 x 5 patch around a world point (y down) in the 1024 x 600 window.
    static Rgba at(float x, float y) {
        const Vec2f camera = cameraPosition();
        const Vec2f view = viewSize();
        const int px = static_cast<int>(512 + (x - camera.x) * 1024 / view.x);
        const int py = static_cast<int>(300 - (y - camera.y) * 600 / view.y);
        return meanColour(px - 2, py - 2, 5, 5);
    }

    static void expectAmbient(const Rgba& c, const char* where) {
        EXPECT_NEAR(c.r, kAmbientR, kTolerance) << where;
        EXPECT_NEAR(c.g, kAmbientG, kTolerance) << where;
        EXPECT_NEAR(c.b, kAmbientB, kTolerance) << where;
    }

    static void expectLit(const Rgba& c, const char* where) {
        EXPECT_GT(c.r, kAmbientR + kLitMargin) << where;
        EXPECT_GT(c.g, kAmbientG + kLitMargin) << where;
    }

    static MapQuad& addBlock(float left, float top, float width, float height) {
        auto* quad = &registerQuad();
        quad->vertices[0] = {left, top};
        quad->vertices[1] = {left + width, top};
        quad->vertices[2] = {left + width, top + height};
        quad->vertices[3] = {left, top + height};
        quadCornersChanged(*quad);  // written by hand: the index must hear of it
        return *quad;
    }
};

}  // namespace

TEST_F(Lightmap, WithoutLightsTheSceneIsMultipliedByTheClearColour) {
    renderWhiteScene();
    expectAmbient(at(0, 0), "centre");
    expectAmbient(at(-500, -290), "top left");
    expectAmbient(at(500, 290), "bottom right");
    expectAmbient(at(400, -200), "top right");
}

TEST_F(Lightmap, LightBrightensOnlyItsSurroundingsInItsColour) {
    Texture& sheet = *findTexture("light1.png");
    light(-200, -150, 0.3f, 0.2f, 0.1f);
    renderWhiteScene();

    const Rgba centre = at(-200, -150);
    expectLit(centre, "at the light");
    // Colour follows the light's (r, g, b) over the ambient level.
    EXPECT_GT(centre.r - kAmbientR, centre.g - kAmbientG + 0.02f);
    EXPECT_GT(centre.g - kAmbientG, centre.b - kAmbientB + 0.02f);
    // Outside its 600 x 600 quad, below and to the right: texture rows and columns not flipped.
    expectAmbient(at(-200, 250), "below the light quad");
    expectAmbient(at(300, -150), "right of the light quad");

    // The queue is emptied by the pass, entries zeroed.
    EXPECT_EQ(sheet.queues.lightCount, 0);
    EXPECT_EQ(sheet.queues.lights[0].x, 0.0f);
    EXPECT_EQ(sheet.queues.lights[0].red, 0.0f);
    renderWhiteScene();
    expectAmbient(at(-200, -150), "next frame without new lights");
}

TEST_F(Lightmap, LightIsPlacedAndCulledRelativeToTheCamera) {
    setCamera(2000, 500, 0, 0, 1, 1, 0);
    light(1800, 500, 0.3f, 0.3f, 0.3f);  // 200 from the camera, 1868 from the origin
    renderWhiteScene();
    expectLit(at(1800, 500), "left of the camera");
    expectAmbient(at(2300, 500), "right of the camera");
}

TEST_F(Lightmap, ShadowBehindAQuadStaysDarkAndItsMirrorIsLit) {
    addBlock(-140, -20, 40, 40);
    light(0, 0, 0.3f, 0.3f, 0.3f);
    renderWhiteScene();

    expectAmbient(at(-200, 0), "in the shadow");
    expectAmbient(at(-260, 10), "further along the shadow");
    expectLit(at(200, 0), "mirror image");
    expectLit(at(0, -120), "beside the quad");
}

TEST_F(Lightmap, CasterFaceGetsTheDimmerLight) {
    addBlock(-140, -20, 40, 40);
    light(0, 0, 0.3f, 0.3f, 0.3f);
    renderWhiteScene();

    const Rgba face = at(-120, 0);
    const Rgba mirror = at(120, 0);
    expectLit(face, "caster face");
    EXPECT_LT(face.r, mirror.r - 0.04f);
    EXPECT_LT(face.g, mirror.g - 0.04f);
}

TEST_F(Lightmap, QueuedOutlineCastsLikeAQuadForOnePassUnlessItHoldsTheLight) {
    // A hexagon where the quad of the test above stands: its shadow, its dimmer face.
    const Vec2f hexagon[6] = {{-140, -10}, {-130, -20}, {-110, -20}, {-100, -10}, {-110, 20}, {-130, 20}};
    pushShadowCaster(hexagon, 6);
    light(0, 0, 0.3f, 0.3f, 0.3f);
    renderWhiteScene();
    expectAmbient(at(-200, 0), "in the shadow");
    expectAmbient(at(-260, 8), "further along the shadow");
    expectLit(at(200, 0), "mirror image");
    expectLit(at(0, -120), "beside the outline");
    const Rgba face = at(-120, 0);
    expectLit(face, "the outline's face");
    EXPECT_LT(face.r, at(120, 0).r - 0.04f);
    EXPECT_TRUE(queuedCasters().empty()) << "the pass empties the queue";

    light(0, 0, 0.3f, 0.3f, 0.3f);
    renderWhiteScene();
    expectLit(at(-200, 0), "next pass, the outline not queued again");

    // A body lit from inside, its light at its own centre, throws no shadow of itself.
    const Vec2f body[4] = {{-20, -20}, {20, -20}, {20, 20}, {-20, 20}};
    pushShadowCaster(body, 4);
    light(0, 0, 0.3f, 0.3f, 0.3f);
    renderWhiteScene();
    expectLit(at(-200, 0), "left of the lit body");
    expectLit(at(200, 0), "right of the lit body");
}

TEST_F(Lightmap, KeptLightmapFrameDiscardsTheOutlinesToo) {
    const Vec2f square[4] = {{-140, -20}, {-100, -20}, {-100, 20}, {-140, 20}};
    pushShadowCaster(square, 4);
    discardQueuedLights();
    EXPECT_TRUE(queuedCasters().empty());
    EXPECT_TRUE(queuedCasterCorners().empty());
}

TEST_F(Lightmap, OverlappingLightsAdd) {
    light(-60, 0, 0.15f, 0.15f, 0.15f);
    renderWhiteScene();
    const Rgba left = at(0, 30);
    light(60, 0, 0.15f, 0.15f, 0.15f);
    renderWhiteScene();
    const Rgba right = at(0, 30);
    light(-60, 0, 0.15f, 0.15f, 0.15f);
    light(60, 0, 0.15f, 0.15f, 0.15f);
    renderWhiteScene();
    const Rgba both = at(0, 30);

    expectLit(left, "left light alone");
    EXPECT_NEAR(both.r - kAmbientR, (left.r - kAmbientR) + (right.r - kAmbientR), 0.03f);
    EXPECT_NEAR(both.g - kAmbientG, (left.g - kAmbientG) + (right.g - kAmbientG), 0.03f);
}

TEST_F(Lightmap, ShadowOfOneLightDoesNotDarkenAnother) {
    addBlock(-110, -20, 20, 40);
    light(-150, 0, 0.3f, 0.3f, 0.3f);
    renderWhiteScene();
    const Rgba shadowedOnly = at(-40, 0);
    light(100, 0, 0.3f, 0.3f, 0.3f);
    renderWhiteScene();
    const Rgba otherOnly = at(-40, 0);
    light(-150, 0, 0.3f, 0.3f, 0.3f);
    light(100, 0, 0.3f, 0.3f, 0.3f);
    renderWhiteScene();
    const Rgba both = at(-40, 0);

    expectAmbient(shadowedOnly, "in the first light's shadow");
    expectLit(otherOnly, "second light alone");
    EXPECT_NEAR(both.r, otherOnly.r, kTolerance);
    EXPECT_NEAR(both.g, otherOnly.g, kTolerance);
}

TEST_F(Lightmap, LightsAt800FromTheCameraAreSkipped) {
    // A wider view puts lights 800 units away on screen.
    setCamera(0, 0, 2048, 1200, 1, 1, 0);
    light(800, 0, 0.3f, 0.3f, 0.3f);
    light(0, 800, 0.3f, 0.3f, 0.3f);  // off screen, just as far
    renderWhiteScene();
    expectAmbient(at(800, 0), "exactly 800 away");
    EXPECT_EQ(findTexture("light1.png")->queues.lightCount, 0);

    light(799.9f, 0, 0.3f, 0.3f, 0.3f);
    renderWhiteScene();
    expectLit(at(799.9f, 0), "799.9 away");
}

TEST_F(Lightmap, MoreThan186CastersAllThrowShadows) {
    // 199 small squares in a row below the light; their shadows point down, away from y = 0.
    for (int i = 0; i < 199; ++i) addBlock(-398.0f + 4.0f * i, 200.0f, 3.0f, 3.0f);
    addBlock(-140, -20, 40, 40);  // the 200th caster
    light(0, 0, 0.3f, 0.3f, 0.3f);
    renderWhiteScene();

    expectAmbient(at(-200, 0), "shadow of the 200th caster");
    expectLit(at(200, 0), "its mirror image");
    expectAmbient(at(-100, 260), "below the row of small squares");
}

TEST_F(Lightmap, PassRestoresStateAndKeepsLinearFiltering) {
    // The last thing a frame binds is a HUD sheet; it must come through the pass unchanged.
    Texture& hud = *findTexture("hud2.png");
    glBindTexture(GL_TEXTURE_2D, hud.glName);
    GLint stackDepth = 0;
    glMatrixMode(GL_MODELVIEW);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackDepth);
    addBlock(-140, -20, 40, 40);
    light(0, 0, 0.3f, 0.3f, 0.3f);
    glClear(GL_COLOR_BUFFER_BIT);
    renderLightmap();

    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 600);
    GLint depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, stackDepth);
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
    GLboolean mask[4] = {};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);

    for (const uint32_t name : {hud.glName, findTexture("light1.png")->glName, lightmapTexture()}) {
        glBindTexture(GL_TEXTURE_2D, name);
        GLint minFilter = 0, magFilter = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        EXPECT_EQ(minFilter, GL_LINEAR) << "texture " << name;
        EXPECT_EQ(magFilter, GL_LINEAR) << "texture " << name;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Cutting each light's stencil and shadow draws to its box must leave every lightmap pixel as it
// was: random maps, lights and cameras (turned and zoomed), each pass drawn with and without
// the cut over different stencil contents. The stencil outside the boxes shows the cut worked.
TEST_F(Lightmap, ScissorPerLightChangesNoPixel) {
    uint32_t seed = 7;
    auto random = [&seed](float low, float high) {
        seed = seed * 1664525u + 1013904223u;
        return low + (high - low) * static_cast<float>(seed >> 8) / static_cast<float>(1u << 24);
    };
    Texture* sheets[2] = {findTexture("light1.png"), findTexture("light.png")};
    ASSERT_NE(sheets[1], nullptr);
    int scenesCut = 0;
    constexpr int kScenes = 40;
    for (int scene = 0; scene < kScenes; ++scene) {
        clearMapQuads(true);
        const float cx = random(-300, 300), cy = random(-300, 300);
        const float turn = scene % 3 == 0 ? 0.0f : random(-180, 180);
        const float zoomed = scene % 4 == 0 ? 1.0f : random(0.5f, 2.0f);
        setCamera(cx, cy, 1024, 600, zoomed, zoomed, turn);
        const int quadCount = static_cast<int>(random(0, 120));
        for (int i = 0; i < quadCount; ++i) {
            MapQuad& quad = registerQuad();
            const Vec2f centre{cx + random(-700, 700), cy + random(-500, 500)};
            const float half = random(3, 40), a = random(0, 6.3f);
            for (int k = 0; k < 4; ++k) {
                const float b = a + 1.5707964f * static_cast<float>(k);
                quad.vertices[k] = {centre.x + half * std::cos(b), centre.y + half * std::sin(b)};
            }
            quadCornersChanged(quad);
        }
        std::vector<LightSprite> lights(static_cast<size_t>(random(1, 30)));
        for (LightSprite& l : lights) {
            l.x = cx + random(-900, 900), l.y = cy + random(-700, 700), l.angle = random(-400, 400);
            l.red = random(0, 1), l.green = random(0, 1), l.blue = random(0, 1);
        }
        std::vector<uint8_t> colour[2], stencil[2];
        for (int cut = 0; cut < 2; ++cut) {
            setLightScissorEnabled(cut == 1);
            for (size_t i = 0; i < lights.size(); ++i) {
                const LightSprite& l = lights[i];
                pushLight(*sheets[i % 2], l.x, l.y, l.angle, l.red, l.green, l.blue, 0);
            }
            glClearStencil(cut == 0 ? 0x5A : 0xA5);
            glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
            renderLightmap();
            colour[cut].resize(512 * 512 * 4);
            stencil[cut].resize(512 * 512);
            glReadPixels(0, 0, 512, 512, GL_RGBA, GL_UNSIGNED_BYTE, colour[cut].data());
            glReadPixels(0, 0, 512, 512, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, stencil[cut].data());
        }
        ASSERT_TRUE(colour[0] == colour[1]) << "scene " << scene;
        // Where a light's shadow reached beyond its box, the uncut pass left a stencil the cut
        // one never touched.
        int untouchedOutside = 0;
        for (size_t i = 0; i < stencil[0].size(); ++i) {
            untouchedOutside += stencil[1][i] == 0xA5 && stencil[0][i] != 0x5A ? 1 : 0;
        }
        scenesCut += untouchedOutside > 0 ? 1 : 0;
    }
    setLightScissorEnabled(true);
    glClearStencil(0);
    clearMapQuads(true);
    setCamera(0, 0, 1024, 600, 1, 1, 0);
    EXPECT_GT(scenesCut, kScenes / 2);
}
