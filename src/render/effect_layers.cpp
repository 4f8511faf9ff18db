// effect_layers.cpp: draws the burst layers behind and in front of the map, and the sprite batches.
#include "render/effect_layers.h"

#include <GL/gl.h>

#include "render/effects.h"
#include "render/texture.h"

namespace {
constexpr float kGlowAlpha = 0.65f;  // strength of the additive second pass of glow sheets
constexpr uint8_t kFlickerLightFlag = 0;

void pointAt(const Texture& texture) {
    glVertexPointer(2, GL_INT, 0, texture.vertices.data());
    glTexCoordPointer(2, GL_FLOAT, 0, texture.texCoords.data());
}

// One sprite moved into place by the model-view matrix. A frame outside the sheet (a queued
// frame past the end, or the glow frame after an odd sheet's last frame) is skipped rather
// than read from beyond the arrays.
void drawOne(const Texture& texture, int32_t frame, float x, float y, float angle) {
    if (frame < 0 || frame >= texture.frameCount) return;
    glPushMatrix();
        glTranslatef(x, y, 0.0f);
        glRotatef(angle, 0.0f, 0.0f, 0.5f);
        glDrawArrays(GL_QUADS, 4 * frame, 4);
    glPopMatrix();
}

void beginAdditive() { glBlendFunc(GL_SRC_ALPHA, GL_ONE); }
void endAdditive() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }

void beginGlowPass() {
    beginAdditive();
    glColor4f(1.0f, 1.0f, 1.0f, kGlowAlpha);
}
void endGlowPass() {
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    endAdditive();
}

void drawBursts(const Texture& texture) {
    if (texture.paired) {
        for (const Burst& burst : texture.queues.bursts)
            drawOne(texture, burstFrame(texture, burst), burst.x, burst.y, burst.angle);
        beginAdditive();  // the caller's colour stays: glow frames carry their own falloff
        for (const Burst& burst : texture.queues.bursts)
            drawOne(texture, burstFrame(texture, burst) + 1, burst.x, burst.y, burst.angle);
        endAdditive();
        return;
    }
    // Finished bursts still show their last frame here until the next update removes them.
    for (const Burst& burst : texture.queues.bursts)
        drawOne(texture, burstFrame(texture, burst), burst.x, burst.y, burst.angle);
    if (!texture.glow) return;
    beginGlowPass();
    for (const Burst& burst : texture.queues.bursts) {
        if (burst.finished) continue;
        drawOne(texture, burstFrame(texture, burst), burst.x, burst.y, burst.angle);
    }
    endGlowPass();
}

void drawBurstLayer(const std::vector<Texture*>& sheets) {
    glEnable(GL_TEXTURE_2D);
    for (const Texture* texture : sheets) {
        if (texture->queues.bursts.empty()) continue;
        glBindTexture(GL_TEXTURE_2D, texture->glName);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        pointAt(*texture);
        drawBursts(*texture);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glDisable(GL_TEXTURE_2D);
}

void drawBatch(const Texture& texture) {
    const int32_t count = texture.queues.batchCount;
    if (texture.paired) {
        for (int32_t i = 0; i < count; ++i) {
            const BatchSprite& s = texture.queues.batch[i];
            drawOne(texture, pairedBaseFrame(s.frame / 2), s.x, s.y, s.angle);
        }
        beginAdditive();
        for (int32_t i = 0; i < count; ++i) {
            const BatchSprite& s = texture.queues.batch[i];
            drawOne(texture, pairedBaseFrame(s.frame / 2) + 1, s.x, s.y, s.angle);
        }
        endAdditive();
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        const BatchSprite& s = texture.queues.batch[i];
        drawOne(texture, s.frame, s.x, s.y, s.angle);
    }
    if (!texture.glow) return;
    beginGlowPass();
    for (int32_t i = 0; i < count; ++i) {
        const BatchSprite& s = texture.queues.batch[i];
        drawOne(texture, s.frame, s.x, s.y, s.angle);
    }
    endGlowPass();
}
}  // namespace

void drawBackLayer() { drawBurstLayer(backLayerSheets()); }

void drawFrontLayer() { drawBurstLayer(frontLayerSheets()); }

void drawSpriteBatches() {
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (const auto& texture : allTextures()) {
        if (texture->queues.batchCount <= 0) continue;  // an empty batch does not even bind
        glBindTexture(GL_TEXTURE_2D, texture->glName);
        pointAt(*texture);
        drawBatch(*texture);
        emptySpriteQueue(texture->queues);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
}

void queueFlickerLights() {
    Texture* light = findTexture("light1.png");
    if (light == nullptr) return;
    for (const Flicker& flicker : light->queues.flickers) {
        if (flicker.dead) continue;
        pushLight(*light, flicker.x, flicker.y, flicker.angle, flicker.red, flicker.green,
                  flicker.blue, kFlickerLightFlag);
    }
}
