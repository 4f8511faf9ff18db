// lightmap.cpp: renders the queued lights with stencil shadows into a 512 x 512 corner of the
// back buffer, copies it into the lightmap texture, and multiplies that over the scene.
// Lights queued while the actors draw in frame N are drawn here in frame N + 1.
#include "lighting/lightmap.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/camera.h"
#include "core/units.h"
#include "lighting/shadow_quad.h"
#include "render/shape_queue.h"
#include "render/texture.h"
#include "render/view.h"

namespace {

constexpr float kLightRange = 800.0f;     // world units from the camera; farther lights are skipped
constexpr float kFaceLightScale = 0.88f;  // the casters' own faces get a slightly smaller light
constexpr float kFaceLightAlpha = 0.55f;  // ... and a dimmer one

// Pixels added around a light's box, beyond the rounding outward, for GL's own arithmetic.
constexpr double kScissorSlack = 2.0;

bool scissorEnabled = true;
LightmapAmbient ambientLevel;

// Fills the lightmap's corner with the level's ambient colour, leaving the clear colour as it was.
void fillAmbient(GLsizei width, GLsizei height) {
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, width, height);
    glClearColor(ambientLevel.red, ambientLevel.green, ambientLevel.blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    glDisable(GL_SCISSOR_TEST);
}

// Kept across frames: it only grows, so the pass allocates nothing once it has seen its
// largest light.
LightVertices lightVertices;

void drawLightQuad(const LightSprite& light, float scale) {
    glPushMatrix();
    glTranslatef(light.x, light.y, 0.0f);
    glRotatef(light.angle, 0.0f, 0.0f, 1.0f);
    if (scale != 1.0f) glScalef(scale, scale, 1.0f);
    glDrawArrays(GL_QUADS, 0, 4);
    glPopMatrix();
}

// Shadow and caster geometry carries no texture coordinates; the array is off while it draws
// so GL never reads past the texture's own coordinate array.
void drawUntextured(GLint first, GLsizei count) {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDrawArrays(GL_QUADS, first, count);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

// The light at full strength, added wherever the stencil is still 0.
void drawFullLight(const LightSprite& light) {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilFunc(GL_EQUAL, 0, 0xFFFF);
    glEnable(GL_TEXTURE_2D);
    glColor4f(light.red, light.green, light.blue, 1.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    drawLightQuad(light, 1.0f);
}

void drawLight(const LightSprite& light) {
    const GLsizei n = 4 * lightVertices.casterCount;
    const GLint firstCaster = lightVertices.half + 4;

    // The stencil becomes 0 throughout the light quad, whatever earlier lights left there.
    glDisable(GL_TEXTURE_2D);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilOp(GL_ZERO, GL_ZERO, GL_ZERO);
    drawLightQuad(light, 1.0f);

    if (n == 0) {
        drawFullLight(light);
        return;
    }

    // Shadows and casters rise above 0.
    glStencilFunc(GL_ALWAYS, 1, 1);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    drawUntextured(4, n);
    drawUntextured(firstCaster, n);

    // Full light where nothing was marked; the increment leaves every lit pixel at 1.
    drawFullLight(light);

    // Only the casters' own pixels go back to 0 ...
    glDisable(GL_TEXTURE_2D);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilOp(GL_ZERO, GL_ZERO, GL_ZERO);
    drawUntextured(firstCaster, n);

    // ... and receive the dimmer light; shadows and already lit pixels get nothing more.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    glStencilFunc(GL_EQUAL, 0, 0xFFFF);
    glEnable(GL_TEXTURE_2D);
    glColor4f(light.red, light.green, light.blue, kFaceLightAlpha);
    drawLightQuad(light, kFaceLightScale);
}

// Zoomed out, the view spans more of the world and the reach grows with it; zoomed in it stays,
// as lights just off screen still shine into it.
float lightRange() {
    const Vec2f scale = zoom();
    const float smaller = std::min(scale.x, scale.y);
    return smaller > 0.0f && smaller < 1.0f ? kLightRange / smaller : kLightRange;
}

bool withinLightRange(const LightSprite& light, Vec2f camera, float range) {
    const float dx = light.x - camera.x;
    const float dy = light.y - camera.y;
    return std::sqrt(dx * dx + dy * dy) < range;
}

void drawQueuedLights(Texture& texture, Vec2f camera) {
    const int32_t count = std::min(texture.queues.lightCount, kLightCapacity);
    if (texture.vertices.size() >= 8) {
        glBindTexture(GL_TEXTURE_2D, texture.glName);
        glTexCoordPointer(2, GL_FLOAT, 0, texture.texCoords.data());
        const float range = lightRange();
        for (int32_t i = 0; i < count; ++i) {
            const LightSprite& light = texture.queues.lights[i];
            if (!withinLightRange(light, camera, range)) continue;
            buildLightVertices(lightVertices, texture.vertices.data(), {light.x, light.y});
            // The buffer may have grown, so its address is handed over for every light.
            glVertexPointer(2, GL_INT, 0, lightVertices.coords.data());
            if (scissorEnabled) {
                // Every colour the light writes lies in its quad, and each light sets the stencil
                // in its quad before reading it, so shadow fill outside the quad is wasted work.
                GLint box[4];
                lightScissorBox(texture.vertices.data(), light.x, light.y, light.angle, box);
                glScissor(box[0], box[1], box[2], box[3]);
            }
            drawLight(light);
        }
    }
    emptyLightQueue(texture.queues);  // a light lives for exactly one pass, drawn or skipped
}

}  // namespace

void renderLightmap() {
    const Vec2f window = windowSize();
    const Vec2f camera = cameraPosition();
    const auto mapWidth = static_cast<GLsizei>(lightmapWidth());
    const auto mapHeight = static_cast<GLsizei>(lightmapHeight());

    // The whole view, squeezed into the lightmap's corner of the back buffer.
    glViewport(0, 0, mapWidth, mapHeight);
    if (ambientLevel.set) fillAmbient(mapWidth, mapHeight);
    applyWorldProjection();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    applyWorldTransform();

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_STENCIL_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);  // lights add up
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    if (scissorEnabled) glEnable(GL_SCISSOR_TEST);

    for (const auto& texture : allTextures()) {
        if (texture->queues.lightCount <= 0) continue;
        drawQueuedLights(*texture, camera);
    }
    emptyCasterQueue();  // like the lights, the outlines queued last frame serve one pass

    glDisable(GL_SCISSOR_TEST);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    // The last face light masks alpha; later drawing expects every channel writable.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPopMatrix();

    glBindTexture(GL_TEXTURE_2D, lightmapTexture());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, mapWidth, mapHeight);

    glViewport(0, 0, static_cast<GLsizei>(window.x), static_cast<GLsizei>(window.y));
}

void discardQueuedLights() {
    for (const auto& texture : allTextures()) emptyLightQueue(texture->queues);
    emptyCasterQueue();
}

void lightScissorBox(const int32_t corners[8], float x, float y, float angle, int32_t box[4]) {
    const double size = static_cast<GLsizei>(lightmapWidth());
    const double sizeY = static_cast<GLsizei>(lightmapHeight());
    box[0] = 0, box[1] = 0, box[2] = static_cast<int32_t>(size), box[3] = static_cast<int32_t>(sizeY);
    const Vec2f camera = cameraPosition();
    const Vec2f view = viewSize();
    const Vec2f scale = zoom();
    // The world transform (rotate by r, then translate, then scale) and the y-down projection,
    // as GL applies them to the light quad turned by the light's angle.
    const double r = rotation() * kPiDouble / 180.0, a = angle * kPiDouble / 180.0;
    const double cr = std::cos(r), sr = std::sin(r), ca = std::cos(a), sa = std::sin(a);
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (const double s : {1.0, static_cast<double>(kFaceLightScale)}) {
        for (int k = 0; k < 4; ++k) {
            const double vx = s * corners[2 * k], vy = s * corners[2 * k + 1];
            const double wx = x + ca * vx - sa * vy, wy = y + sa * vx + ca * vy;
            const double tx = scale.x * (wx - camera.x), ty = scale.y * (wy - camera.y);
            const double ex = cr * tx - sr * ty, ey = sr * tx + cr * ty;
            const double px = (ex / (view.x / 2.0) + 1.0) / 2.0 * size;
            const double py = (-ey / (view.y / 2.0) + 1.0) / 2.0 * sizeY;
            minX = std::min(minX, px), maxX = std::max(maxX, px);
            minY = std::min(minY, py), maxY = std::max(maxY, py);
        }
    }
    if (!std::isfinite(minX) || !std::isfinite(maxX) || !std::isfinite(minY) || !std::isfinite(maxY)) return;
    const double left = std::clamp(std::floor(minX) - kScissorSlack, 0.0, size);
    const double right = std::clamp(std::ceil(maxX) + kScissorSlack, 0.0, size);
    const double bottom = std::clamp(std::floor(minY) - kScissorSlack, 0.0, sizeY);
    const double top = std::clamp(std::ceil(maxY) + kScissorSlack, 0.0, sizeY);
    box[0] = static_cast<int32_t>(left);
    box[1] = static_cast<int32_t>(bottom);
    box[2] = static_cast<int32_t>(right - left);
    box[3] = static_cast<int32_t>(top - bottom);
}

void setLightScissorEnabled(bool enabled) { scissorEnabled = enabled; }
void setLightmapAmbient(const LightmapAmbient& ambient) { ambientLevel = ambient; }
const LightmapAmbient& lightmapAmbient() { return ambientLevel; }
void resetLightmap() {
    scissorEnabled = true;
    ambientLevel = LightmapAmbient();
}

void compositeLightmap() {
    const Vec2f camera = cameraPosition();
    const Vec2f view = viewSize();
    const float r = rotation();
    const float halfW = view.x / 2;
    const float halfH = view.y / 2;
    // Texture row 0 is the bottom row the lightmap pass copied, so it goes at +h/2 (down).
    const GLfloat corners[8] = {-halfW, halfH, halfW, halfH, halfW, -halfH, -halfW, -halfH};
    const GLfloat texCoords[8] = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f};

    glEnable(GL_TEXTURE_2D);
    // scene * lightmap twice over: a lightmap of 0.5 leaves the scene unchanged.
    glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, lightmapTexture());
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, corners);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords);

    glPushMatrix();
    glTranslatef(camera.x, camera.y, 0.0f);
    glRotatef(-r, 0.0f, 0.0f, 1.0f);
    // Undoes the zoom of the world transform, so the quad covers the window at every zoom.
    const Vec2f scale = zoom();
    if (scale.x != 1.0f || scale.y != 1.0f) {
        if (scale.x != 0.0f && scale.y != 0.0f) glScalef(1.0f / scale.x, 1.0f / scale.y, 1.0f);
    }
    glDrawArrays(GL_QUADS, 0, 4);
    glPopMatrix();

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_TEXTURE_2D);
}
