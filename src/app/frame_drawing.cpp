// frame_drawing.cpp: one complete frame: lightmap first, the world in layers, the lightmap multiplied
// over it, then the HUD in view space, then the swap.
#include "app/frame_drawing.h"


#include <GL/freeglut.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <iostream>
#include <utility>

#include "actors/actor.h"
#include "actors/joints.h"
#include "app/frame_timing.h"
#include "app/grab_marker.h"
#include "app/help_panel_drawing.h"
#include "app/level_overlay.h"
#include "app/physics_overlay_drawing.h"
#include "app/shared_view.h"
#include "app/timing_overlay.h"
#include "game/edit_feedback.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "game/overlay_switches.h"
#include "game/view_control.h"
#include "app/text.h"
#include "core/camera.h"
#include "core/refusal.h"
#include "core/units.h"
#include "lighting/lightmap.h"
#include "map/map_draw.h"
#include "map/map_quad.h"
#include "render/background.h"
#include "render/effect_layers.h"
#include "render/grid.h"
#include "render/shape_drawing.h"
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
// The grid reads as lying under the map: the quads mask it. It is drawn after the lighting so
// that it shows in the unlit dark, where most of a level is built. The stencil is free here: each
// light clears it inside its own quad before use.
void drawGridAroundTheMap() {
    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    drawMapShapes();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilFunc(GL_EQUAL, 0, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    drawGrid(kGridStep, kGridMajorStep);
    glDisable(GL_STENCIL_TEST);
}

// The lights the lightmap pass is about to draw.
int32_t queuedLights() {
    int32_t lights = 0;
    for (const auto& texture : allTextures()) lights += std::max(0, texture->queues.lightCount);
    return lights;
}
}  // namespace

bool glAtRest(std::string& why) {
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
    return problem.empty() || refuse(why, std::move(problem));
}

namespace {
void drawFrame(bool renderLights) {
    const double start = timingClockMs();
    const Vec2f view = viewSize();
    uploadLevelSheets();  // a level's own images, made textures here where GL may be called
    glClear(GL_COLOR_BUFFER_BIT);  // the stencil is cleared per light, inside each light quad
    if (timingOverlayShown()) prepareTimingOverlay();  // before the lightmap takes its corner
    const int32_t lights = queuedLights();
    // The lightmap's corner of the back buffer is covered by the opaque background below either
    // way, so only the texture carries the lights into the frame.
    if (renderLights) {
        renderLightmap();
    } else {
        discardQueuedLights();
    }
    const double lightmapMs = timingClockMs() - start;

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
    drawJoints();          // queues the joints' lines
    queueFlickerLights();  // lit by the next frame's lightmap, like the actors' lights
    drawQueuedPolygons();  // bodies of any shape and terrain bands, under the sprites
    drawSpriteBatches();
    drawQueuedLines();     // joints, over the bodies they join
    drawCarImageAtSpawn();
    drawFrontLayer();
    compositeLightmap();
    if (gridShown()) drawGridAroundTheMap();
    drawCornerHandles();  // over the lighting; nothing unless a quad is selected in the editor
    drawRubberBand();
    Vec2f keptCorners[4];
    if (refusedOutlineLit(keptCorners)) drawRefusedOutline(keptCorners);
    if (physicsOverlayShown()) drawPhysicsOverlay();
    drawGrabMarker();  // nothing unless the right button holds a body
    drawSharedWorldMarks();  // nothing outside a shared session
    glPopMatrix();

    // HUD in view units from the top-left corner, y down; it stretches with the window.
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0.0, view.x, view.y, 0.0);
    drawHud();
    drawLevelOverlay();  // nothing unless the level shows text, the editor's readout or its finish
    drawSharedHud();  // nothing outside a shared session
    if (timingOverlayShown()) drawTimingOverlay();
    drawHelpOverlay();  // draws nothing unless the panel or a message is showing
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();

    glDisable(GL_BLEND);
    glutSwapBuffers();
    noteFrame(lightmapMs, timingClockMs() - start);
    noteDrawnCounts({lights, drawnQuadCount()});
#ifndef NDEBUG
    // A frame that leaves GL otherwise moves the next frame's HUD, or worse, without a word.
    std::string why;
    if (!glAtRest(why)) {
        std::cerr << "GL not at rest after a frame:" << why << std::endl;
        assert(false && "GL not at rest after a frame");
    }
#endif
}
}  // namespace

void renderFrame() { drawFrame(true); }

void renderFrameKeepingLightmap() { drawFrame(false); }
