// frame.cpp: one complete frame: lightmap first, the world in layers, the lightmap multiplied
// over it, then the HUD in view space, then the swap.
#include "app/frame.h"

#include <GL/freeglut.h>

#include <cassert>
#include <cmath>
#include <iostream>

#include "actors/actor.h"
#include "app/help_panel.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "app/text.h"
#include "core/camera.h"
#include "core/units.h"
#include "lighting/lightmap.h"
#include "map/map_draw.h"
#include "render/background.h"
#include "render/effect_layers.h"
#include "render/sprite.h"
#include "render/texture.h"
#include "render/view.h"

namespace {
// Display values nothing in the game changes yet.
float carImageAngle = 0.0f;  // degrees
float gaugeValue = 0.0f;     // turns the HUD needle
int32_t hudFrame = 1;        // frame of the indicator sheet

constexpr float kCarImageOffset = 18.0f;
constexpr int32_t kCarHalfWidth = 39;
constexpr int32_t kCarHalfHeight = 16;

void drawCarImageAtSpawn() {
    const double a = carImageAngle * kPi / 180.0;  // the product in float, as the image turns
    const auto x = static_cast<int32_t>(spawnPoint().x + kCarImageOffset * std::cos(a));
    const auto y = static_cast<int32_t>(spawnPoint().y - kCarImageOffset * std::sin(a));
    drawCarImage(x, y, kCarHalfWidth, kCarHalfHeight, carImageAngle);
}

void drawHud() {
    if (const Texture* panel = findTexture("hud0.png")) drawSpriteFrame(*panel, 0, 0.0f, 630.0f);
    if (const Texture* lamps = findTexture("hud2.png"))
        drawSprite(*lamps, hudFrame, 148.0f, 560.0f, 1.0f, 1.0f, 3.0f);
    if (const Texture* needle = findTexture("hud1.png"))
        drawSprite(*needle, 0, 113.0f, 511.0f, 1.0f, 1.0f, 210.0f * gaugeValue - 200.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawText(10, 10, "F:%i \n S:%i", frameScheduler().passesPerSecond, frameScheduler().stepsPerSecond);
}
}  // namespace

std::string glRestProblem() {
    std::string problem;
    GLint mode = 0, modelView = 0, projection = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelView);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projection);
    if (mode != GL_MODELVIEW) problem += " matrix mode is not model-view;";
    if (modelView != 1) problem += " model-view stack depth " + std::to_string(modelView) + ";";
    if (projection != 1) problem += " projection stack depth " + std::to_string(projection) + ";";
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        problem += " GL error " + std::to_string(error) + ";";
    return problem;
}

namespace {
void drawFrame(bool renderLights) {
    const Vec2f view = viewSize();
    glClear(GL_COLOR_BUFFER_BIT);  // the stencil is cleared per light, inside each light quad
    // The lightmap's corner of the back buffer is covered by the opaque background below either
    // way, so only the texture carries the lights into the frame.
    if (renderLights) {
        renderLightmap();
    } else {
        discardQueuedLights();
    }

    applyWorldProjection();
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPushMatrix();
    applyWorldTransform();
    drawBackground();
    drawBackLayer();
    drawMap();
    drawActors();          // queues sprites and lights only
    queueFlickerLights();  // lit by the next frame's lightmap, like the actors' lights
    drawSpriteBatches();
    drawCarImageAtSpawn();
    drawFrontLayer();
    compositeLightmap();
    drawCornerHandles();  // over the lighting; nothing unless a quad is selected in the editor
    glPopMatrix();

    // HUD in view units from the top-left corner, y down; it stretches with the window.
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0.0, view.x, view.y, 0.0);
    drawHud();
    drawHelpOverlay();  // draws nothing unless the panel or a message is showing
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();

    glDisable(GL_BLEND);
    glutSwapBuffers();
#ifndef NDEBUG
    // A frame that leaves GL otherwise moves the next frame's HUD, or worse, without a word.
    const std::string problem = glRestProblem();
    if (!problem.empty()) {
        std::cerr << "GL not at rest after a frame:" << problem << std::endl;
        assert(false && "GL not at rest after a frame");
    }
#endif
}
}  // namespace

void renderFrame() { drawFrame(true); }

void renderFrameKeepingLightmap() { drawFrame(false); }
