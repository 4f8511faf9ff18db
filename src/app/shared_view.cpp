// shared_view.cpp: the players' colours, cursors, names and the Tab list, drawn over the world
// and the HUD while a shared session plays.
#include "app/shared_view.h"

#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "app/text.h"
#include "core/camera.h"
#include "core/units.h"
#include "game/input.h"
#include "game/redraw_decision.h"
#include "game/step_commands.h"
#include "net/net_session.h"

namespace {
constexpr unsigned char kTabKey = 9;
// One colour per seat, told apart at a glance and against the dark map.
constexpr float kPlayerColours[kPlayerSlots][3] = {
    {1.0f, 0.85f, 0.2f}, {0.3f, 0.8f, 1.0f}, {1.0f, 0.4f, 0.4f}, {0.5f, 1.0f, 0.4f},
    {0.9f, 0.5f, 1.0f}, {1.0f, 0.6f, 0.2f}, {0.4f, 1.0f, 0.9f}, {0.95f, 0.95f, 0.95f},
};
constexpr float kTintAlpha = 0.35f;
constexpr float kBoxTintRadius = 18.0f;  // world units: a 32-unit crate
constexpr float kCarTintRadius = 36.0f;  // world units: a 67-unit car
constexpr int kTintSegments = 20;
constexpr float kCursorHalf = 7.0f;      // world units: the arms of a cursor's cross
constexpr int kNameOffset = 10;          // view units right of and below the cursor
constexpr int kListX = 760, kListY = 20, kListLineHeight = 16;  // view units

bool listShown = false;  // Tab's list; this window's alone

bool sharing() { return sessionState() == SessionState::Playing; }

void playerColour(uint8_t player, float alpha) {
    const float* c = kPlayerColours[player % kPlayerSlots];
    glColor4f(c[0], c[1], c[2], alpha);
}

void drawDisc(float x, float y, float radius) {
    glBegin(GL_TRIANGLE_FAN);
    glVertex2f(x, y);
    for (int i = 0; i <= kTintSegments; ++i) {
        const float a = 2.0f * kPi * static_cast<float>(i) / kTintSegments;
        glVertex2f(x + radius * std::cos(a), y + radius * std::sin(a));
    }
    glEnd();
}
}  // namespace

unsigned char sharedViewKey(unsigned char key) {
    if (key != kTabKey || !sharing()) return key;
    listShown = !listShown;
    pictureLost();
    return 0;
}

void drawSharedWorldMarks() {
    if (!sharing()) return;
    for (const auto& actor : allActors()) {
        const ActorKind& kind = actor->kind();
        if (&kind != &kBoxKind && &kind != &kCarKind) continue;
        playerColour(actor->player, kTintAlpha);
        drawDisc(actor->x, actor->y, &kind == &kCarKind ? kCarTintRadius : kBoxTintRadius);
    }
    for (const PlayerListing& listing : sessionPlayers()) {
        if (listing.player == localPlayer()) continue;  // this player's own is the window's pointer
        const Vec2f at = playerCursor(listing.player);
        playerColour(listing.player, 1.0f);
        glBegin(GL_LINES);
        glVertex2f(at.x - kCursorHalf, at.y);
        glVertex2f(at.x + kCursorHalf, at.y);
        glVertex2f(at.x, at.y - kCursorHalf);
        glVertex2f(at.x, at.y + kCursorHalf);
        glEnd();
    }
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void drawSharedHud() {
    if (!sharing()) return;
    const std::vector<PlayerListing> players = sessionPlayers();
    const Vec2f window = windowSize(), view = viewSize();
    const float toView = window.x > 0.0f ? view.x / window.x : 1.0f;
    for (const PlayerListing& listing : players) {
        if (listing.player == localPlayer()) continue;
        const Vec2f at = worldToScreen(playerCursor(listing.player));
        playerColour(listing.player, 1.0f);
        drawText(static_cast<int>(at.x * toView) + kNameOffset, static_cast<int>(at.y * toView) + kNameOffset,
                 "%s", listing.name.c_str());
    }
    if (listShown) {
        int y = kListY;
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        drawText(kListX, y, "players (Tab hides)");
        for (const PlayerListing& listing : players) {
            y += kListLineHeight;
            playerColour(listing.player, 1.0f);
            drawText(kListX, y, "%s  %u ms", listing.name.c_str(), static_cast<unsigned>(listing.pingMs));
        }
    }
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
