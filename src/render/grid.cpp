// grid.cpp: the editor's grid lines, faint minor and stronger major, over the visible view.
#include "render/grid.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "core/camera.h"

namespace {
constexpr float kMinSpacingPixels = 5.0f;  // closer lines would grey the view out
constexpr float kThinningFactor = 8.0f;
constexpr float kMinorAlpha = 0.08f;
constexpr float kMajorAlpha = 0.24f;
constexpr int kMaxLinesPerAxis = 4096;  // a bound whatever the view's size

std::vector<float> lineVertices;  // kept across frames; grows to the view's needs only

// Vertical and horizontal lines at the multiples of spacing in [low, high], skipping the
// multiples of skipEvery (drawn by the stronger lines) when it is not 0.
void addLines(float spacing, float skipEvery, Vec2f low, Vec2f high) {
    lineVertices.clear();
    for (const bool vertical : {true, false}) {
        const double from = vertical ? low.x : low.y, to = vertical ? high.x : high.y;
        const double first = std::ceil(from / spacing), last = std::floor(to / spacing);
        if (!(last - first < kMaxLinesPerAxis)) continue;
        for (double n = first; n <= last; n += 1.0) {
            const double at = n * spacing;
            if (skipEvery != 0.0f && std::fmod(at, static_cast<double>(skipEvery)) == 0.0) continue;
            const auto a = static_cast<float>(at);
            if (vertical) {
                lineVertices.insert(lineVertices.end(), {a, low.y, a, high.y});
            } else {
                lineVertices.insert(lineVertices.end(), {low.x, a, high.x, a});
            }
        }
    }
}

void drawLines(float alpha) {
    if (lineVertices.empty()) return;
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    glVertexPointer(2, GL_FLOAT, 0, lineVertices.data());
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(lineVertices.size() / 2));
}
}  // namespace

void drawGrid(float step, float majorStep) {
    const Vec2f window = windowSize(), view = viewSize(), scale = zoom(), camera = cameraPosition();
    if (!(window.x > 0.0f && view.x > 0.0f && scale.x > 0.0f && scale.y > 0.0f)) return;
    const float pixelsPerUnit = scale.x * window.x / view.x;
    // Any turn of the view stays covered by the circle around the view's corners.
    const float reach = 0.5f * std::hypot(view.x / scale.x, view.y / scale.y);
    const Vec2f low = {camera.x - reach, camera.y - reach};
    const Vec2f high = {camera.x + reach, camera.y + reach};
    float major = majorStep;
    while (major * pixelsPerUnit < kMinSpacingPixels) major *= kThinningFactor;

    glEnableClientState(GL_VERTEX_ARRAY);
    if (step * pixelsPerUnit >= kMinSpacingPixels) {
        addLines(step, major, low, high);
        drawLines(kMinorAlpha);
    }
    addLines(major, 0.0f, low, high);
    drawLines(kMajorAlpha);
    glDisableClientState(GL_VERTEX_ARRAY);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
