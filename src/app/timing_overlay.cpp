// timing_overlay.cpp: the timing figures as bitmap text on a dark box, with a bar graph of the
// frame times, in window pixels so they read the same at any window size.
#include "app/timing_overlay.h"

#include <GL/freeglut.h>
#include <box2d/box2d.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "app/frame_timing.h"
#include "app/text.h"
#include "core/camera.h"
#include "app/window_pixels.h"
#include "physics/physics_world.h"

namespace {
constexpr float kLeft = 10.0f, kTop = 46.0f;  // under the two HUD numbers
constexpr float kWidth = 420.0f;
constexpr float kPadding = 8.0f;
constexpr float kLineHeight = 16.0f;
constexpr float kAscent = 12.0f;
constexpr float kGraphHeight = 48.0f;
constexpr float kGraphLeastFullMs = 40.0f;  // the graph's height is at least this many ms
constexpr float kFrameBudgetMs = 20.0f;  // the frame interval: the line across the graph

struct Row {
    const char* label;
    TimedPart part;
};
const Row kRows[] = {
    {"logic step", TimedPart::Step},      {"  collide", TimedPart::Collide},
    {"  solve", TimedPart::Solve},        {"  continuous", TimedPart::Continuous},
    {"lightmap pass", TimedPart::Lightmap}, {"rest of frame", TimedPart::FrameRest},
    {"whole frame", TimedPart::Frame},
};
constexpr int kTextLines = 1 + sizeof kRows / sizeof kRows[0] + 1;  // heading, rows, counts

void line(float top, const char* text) {
    drawText(static_cast<int>(kLeft + kPadding), static_cast<int>(top + kAscent), "%s", text);
}

int32_t touchingContacts(b2World& world) {
    int32_t count = 0;
    for (b2Contact* c = world.GetContactList(); c; c = c->GetNext()) count += c->IsTouching() ? 1 : 0;
    return count;
}

void drawGraph(float top) {
    const float left = kLeft + kPadding, width = kWidth - 2 * kPadding;
    const float bottom = top + kGraphHeight;
    const std::vector<float> frames = frameHistory();
    const float barWidth = width / static_cast<float>(kFrameHistory);
    // Scaled to the slowest frame shown, so a slow machine's frames still fit.
    float fullMs = kGraphLeastFullMs;
    for (const float ms : frames) fullMs = std::max(fullMs, ms);
    // One bar per frame, the newest at the right edge, drawn in one call.
    static std::array<float, kFrameHistory * 8> bars;
    float x = left + width - barWidth * static_cast<float>(frames.size());
    float* v = bars.data();
    for (const float ms : frames) {
        const float h = ms / fullMs * kGraphHeight;
        const float corners[8] = {x, bottom, x + barWidth, bottom, x + barWidth, bottom - h, x, bottom - h};
        v = std::copy(corners, corners + 8, v);
        x += barWidth;
    }
    glColor4f(0.35f, 0.8f, 0.45f, 0.9f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, bars.data());
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(4 * frames.size()));
    glDisableClientState(GL_VERTEX_ARRAY);
    const float budget = bottom - kFrameBudgetMs / fullMs * kGraphHeight;
    glColor4f(1.0f, 0.85f, 0.4f, 0.8f);
    glBegin(GL_LINES);
    glVertex2f(left, budget);
    glVertex2f(left + width, budget);
    glVertex2f(left, bottom + 0.5f);
    glVertex2f(left + width, bottom + 0.5f);
    glEnd();
}

constexpr float kHeight = kTextLines * kLineHeight + kGraphHeight + 3 * kPadding;
constexpr float kGraphTop = kTop + kPadding + (kTextLines - 1) * kLineHeight + kPadding * 0.5f;

// The box and its text, without the graph: they change once a second.
void drawFigures() {
    glColor4f(0.02f, 0.03f, 0.08f, 0.8f);
    glRectf(kLeft, kTop, kLeft + kWidth, kTop + kHeight);

    char text[96];
    float y = kTop + kPadding;
    glColor4f(1.0f, 0.85f, 0.4f, 1.0f);  // the heading
    std::snprintf(text, sizeof text, "%-16s %8s %8s", "ms, last second", "mean", "max");
    line(y, text);
    y += kLineHeight;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (const Row& row : kRows) {
        const TimingFigure figure = timingFigure(row.part);
        std::snprintf(text, sizeof text, "%-16s %8.3f %8.3f", row.label, figure.meanMs, figure.maxMs);
        line(y, text);
        y += kLineHeight;
    }
    y += kGraphHeight + kPadding * 1.5f;

    b2World* world = getWorld();
    const DrawnCounts drawn = drawnCounts();
    std::snprintf(text, sizeof text, "bodies %d  contacts %d  lights %d  quads %d",
                  world ? world->GetBodyCount() : 0, world ? touchingContacts(*world) : 0,
                  drawn.lights, drawn.quads);
    glColor4f(0.55f, 0.85f, 1.0f, 1.0f);
    line(y, text);
}
// The box and its text cost a bitmap per character; drawn each frame they would cost more than
// all the rest of the overlay. So they are drawn once per published second into a spare corner of
// the back buffer at the start of a frame (the scene covers it later) and copied into a texture
// that each frame draws as one quad.
constexpr int kCacheWidth = 512, kCacheHeight = 256;
static_assert(kWidth <= kCacheWidth && kHeight <= kCacheHeight, "the panel fits its texture");

struct PanelCache {
    GLuint texture = 0;
    uint64_t generation = 0;
    bool filled = false;
};
PanelCache cache;

// The top-right corner of the window, clear of the lightmap's bottom-left corner.
bool cacheFits(Vec2f window) {
    return window.x >= 2.0f * kCacheWidth || window.y >= 512.0f + kCacheHeight;
}

void fillCache(Vec2f window) {
    if (cache.texture == 0) {
        glGenTextures(1, &cache.texture);
        glBindTexture(GL_TEXTURE_2D, cache.texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kCacheWidth, kCacheHeight, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, nullptr);
    }
    drawInWindowPixels([](Vec2f size) {
        glDisable(GL_BLEND);  // the texture keeps the box's own alpha
        glTranslatef(size.x - kCacheWidth - kLeft, -kTop, 0.0f);
        drawFigures();
    });
    const auto x = static_cast<GLint>(window.x) - kCacheWidth;
    const auto y = static_cast<GLint>(window.y) - kCacheHeight;
    glBindTexture(GL_TEXTURE_2D, cache.texture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, y, kCacheWidth, kCacheHeight);
    glBindTexture(GL_TEXTURE_2D, 0);
    cache.generation = timingGeneration();
    cache.filled = true;
}

void drawCachedFigures() {
    const float s = kWidth / kCacheWidth, t = 1.0f - kHeight / kCacheHeight;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, cache.texture);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(kLeft, kTop);
    glTexCoord2f(s, 1.0f);
    glVertex2f(kLeft + kWidth, kTop);
    glTexCoord2f(s, t);
    glVertex2f(kLeft + kWidth, kTop + kHeight);
    glTexCoord2f(0.0f, t);
    glVertex2f(kLeft, kTop + kHeight);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}
}  // namespace

void prepareTimingOverlay() {
    const Vec2f window = windowSize();
    if (!cacheFits(window)) return;
    if (!cache.filled || cache.generation != timingGeneration()) fillCache(window);
}

void drawTimingOverlay() {
    drawInWindowPixels([](Vec2f window) {
        if (cacheFits(window) && cache.filled) {
            drawCachedFigures();
        } else {
            drawFigures();
        }
        drawGraph(kGraphTop);
    });
}

void releaseTimingOverlay() {
    if (cache.texture != 0) glDeleteTextures(1, &cache.texture);
    cache = PanelCache();
}
