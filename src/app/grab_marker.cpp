// grab_marker.cpp: the grabbed point, the pull line and the cursor end, over the lighting.
#include "app/grab_marker.h"

#include <GL/gl.h>

#include <cmath>

#include "core/units.h"
#include "game/grab.h"

namespace {
constexpr float kAnchorRadius = 4.0f;  // world units
constexpr float kTargetHalf = 3.0f;    // world units: the cross at the cursor
constexpr int kAnchorSegments = 12;
}  // namespace

void drawGrabMarker() {
    if (!grabHeld()) return;
    const GrabLine line = grabLine();
    glColor4f(1.0f, 1.0f, 1.0f, 0.7f);
    glBegin(GL_LINES);
    glVertex2f(line.anchor.x, line.anchor.y);
    glVertex2f(line.target.x, line.target.y);
    glVertex2f(line.target.x - kTargetHalf, line.target.y);
    glVertex2f(line.target.x + kTargetHalf, line.target.y);
    glVertex2f(line.target.x, line.target.y - kTargetHalf);
    glVertex2f(line.target.x, line.target.y + kTargetHalf);
    glEnd();
    glColor4f(0.3f, 0.95f, 1.0f, 1.0f);
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < kAnchorSegments; ++i) {
        const float a = 2.0f * kPi * static_cast<float>(i) / kAnchorSegments;
        glVertex2f(line.anchor.x + kAnchorRadius * std::cos(a), line.anchor.y + kAnchorRadius * std::sin(a));
    }
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
