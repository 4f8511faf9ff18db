// timing_overlay.cpp: the timing figures as bitmap text on a dark box, with a bar graph of the
// frame times, in window pixels so they read the same at any window size.
#include "app/timing_overlay.h"

#include <GL/freeglut.h>
#include <box2d/box2d.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/frame_timing.h"
#include "app/text.h"
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
    glColor4f(0.35f, 0.8f, 0.45f, 0.9f);
    glBegin(GL_QUADS);
    // The newest frame at the right edge.
    float x = left + width - barWidth * static_cast<float>(frames.size());
    for (const float ms : frames) {
        const float h = ms / fullMs * kGraphHeight;
        glVertex2f(x, bottom);
        glVertex2f(x + barWidth, bottom);
        glVertex2f(x + barWidth, bottom - h);
        glVertex2f(x, bottom - h);
        x += barWidth;
    }
    glEnd();
    const float budget = bottom - kFrameBudgetMs / fullMs * kGraphHeight;
    glColor4f(1.0f, 0.85f, 0.4f, 0.8f);
    glBegin(GL_LINES);
    glVertex2f(left, budget);
    glVertex2f(left + width, budget);
    glVertex2f(left, bottom + 0.5f);
    glVertex2f(left + width, bottom + 0.5f);
    glEnd();
}

void drawFigures() {
    const float height = kTextLines * kLineHeight + kGraphHeight + 3 * kPadding;
    glColor4f(0.02f, 0.03f, 0.08f, 0.8f);
    glRectf(kLeft, kTop, kLeft + kWidth, kTop + height);

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
    drawGraph(y + kPadding * 0.5f);
    y += kGraphHeight + kPadding * 1.5f;

    b2World* world = getWorld();
    const DrawnCounts drawn = drawnCounts();
    std::snprintf(text, sizeof text, "bodies %d  contacts %d  lights %d  quads %d",
                  world ? world->GetBodyCount() : 0, world ? touchingContacts(*world) : 0,
                  drawn.lights, drawn.quads);
    glColor4f(0.55f, 0.85f, 1.0f, 1.0f);
    line(y, text);
}
}  // namespace

void drawTimingOverlay() {
    drawInWindowPixels([](Vec2f) { drawFigures(); });
}
