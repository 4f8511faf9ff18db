// level_overlay.cpp: the level's labels, the stopped script's line, the editor's coordinates and
// the finish card, in window pixels over the HUD, in the scalable font (the bitmap font when the
// machine has none).
#include "app/level_overlay.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/best_scores.h"
#include "app/text.h"
#include "app/window_pixels.h"
#include "core/camera.h"
#include "game/level_finish.h"
#include "game/level_presentation.h"
#include "map/map_editor.h"
#include "map/quad_lines.h"
#include "render/font.h"
#include "script/scripting.h"

namespace {
constexpr float kSmallText = 14.0f;     // pixels: the stopped line and the editor's readout
constexpr float kMargin = 10.0f;        // pixels from the window's edges
constexpr float kStoppedTop = 44.0f;    // under the two lines of counters at the top-left
constexpr float kBoxPadding = 4.0f;     // pixels around a line on its dark box
constexpr uint32_t kStoppedColour = 0xff8a70ffu;
constexpr uint32_t kReadoutColour = 0xd8e6ffffu;
constexpr uint32_t kCardHeading = 0xffd966ffu;
constexpr uint32_t kCardText = 0xffffffffu;
constexpr uint32_t kCardQuiet = 0xb8c4e0ffu;
constexpr float kBitmapCharWidth = 9.0f;  // GLUT_BITMAP_9_BY_15
constexpr float kBitmapLineHeight = 15.0f;

// Text in the scalable font, or in the bitmap font without one; (x, y) its top-left.
Vec2f measure(const std::string& text, float size) {
    if (fontAvailable()) return measureFontText(text, size);
    return {static_cast<float>(text.size()) * kBitmapCharWidth, kBitmapLineHeight};
}

void write(const std::string& text, float x, float y, float size, uint32_t rgba) {
    if (fontAvailable()) {
        drawFontText(text, x, y, size, rgba);
        return;
    }
    glColor4ub(static_cast<GLubyte>(rgba >> 24), static_cast<GLubyte>(rgba >> 16),
               static_cast<GLubyte>(rgba >> 8), static_cast<GLubyte>(rgba));
    drawText(static_cast<int>(x), static_cast<int>(y + 12.0f), "%s", text.c_str());
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void darkBox(float left, float top, float right, float bottom, float alpha) {
    glColor4f(0.02f, 0.03f, 0.08f, alpha);
    glRectf(left, top, right, bottom);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// A line of small text on its own dark box, its top-left at (x, y).
void boxedLine(const std::string& text, float x, float y, uint32_t rgba) {
    const Vec2f size = measure(text, kSmallText);
    darkBox(x - kBoxPadding, y - kBoxPadding, x + size.x + kBoxPadding, y + size.y + kBoxPadding, 0.75f);
    write(text, x, y, kSmallText, rgba);
}

// A label stays readable over any background with a faint shadow one pixel down and right.
void drawLabels(const Vec2f window) {
    const Vec2f view = viewSize();
    if (view.x <= 0.0f || view.y <= 0.0f) return;
    const Vec2f scale = {window.x / view.x, window.y / view.y};
    for (const LevelLabel& label : levelLabels()) {
        if (label.text.empty()) continue;
        const Vec2f at = label.world ? worldToScreen({label.x, label.y})
                                     : Vec2f{label.x * scale.x, label.y * scale.y};
        const float size = label.size * scale.y;
        const auto alpha = static_cast<uint32_t>((label.rgba & 0xffu) * 6 / 10);
        write(label.text, at.x + 1.0f, at.y + 1.0f, size, alpha);
        write(label.text, at.x, at.y, size, label.rgba);
    }
}

bool readoutForLevel = false;
constexpr const char* kPlainCardKeys = "r  play again        Esc  quit";
std::string cardKeys = kPlainCardKeys;

bool readoutWanted() { return editorEnabled() && (readoutForLevel || scriptRunning() || scriptStopped()); }

void drawReadout(const Vec2f window) {
    Vec2f cursor;
    if (!readoutWanted() || !editorPointerAt(cursor)) return;
    std::string line = "x " + coordinateText(std::round(cursor.x)) + "   y " +
                       coordinateText(std::round(cursor.y));
    Vec2f centre, size;
    if (selectionBox(centre, size)) {
        line += "      selected: centre " + coordinateText(centre.x) + ", " + coordinateText(centre.y) +
                "   size " + coordinateText(size.x) + " x " + coordinateText(size.y);
    }
    const Vec2f extent = measure(line, kSmallText);
    boxedLine(line, window.x - kMargin - extent.x, window.y - kMargin - extent.y, kReadoutColour);
}

// The best result is looked up and stored once per finish, the first time its card is drawn.
struct CardNote {
    bool noted = false;
    BestNote best;
};
CardNote cardNote;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

void noteBestOnce(const LevelFinish& finish) {
    if (cardNote.noted) return;
    cardNote.noted = true;
    std::error_code error;
    const std::string level = std::filesystem::current_path(error).string();  // the folder played in
    std::string why;
    if (!noteLevelScore(bestScoresFile(), level, finish.score, finish.higherIsBetter, cardNote.best, why))
        std::cerr << "Best not kept: " << why << std::endl;
}

void drawCard(const Vec2f window, const LevelFinish& finish) {
    noteBestOnce(finish);
    glColor4f(0.0f, 0.0f, 0.0f, 0.45f);  // the frozen game stays visible behind the card
    glRectf(0.0f, 0.0f, window.x, window.y);
    const float unit = std::clamp(window.y / 600.0f, 0.6f, 3.0f);  // the card grows with the window
    const float title = 30.0f * unit, body = 18.0f * unit, small = 14.0f * unit;
    const float gap = 8.0f * unit, padding = 24.0f * unit;

    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f s", static_cast<double>(finish.steps) / 100.0);
    std::string best;
    if (cardNote.best.improved) {
        best = cardNote.best.hadBest ? "a new best (was " + number(cardNote.best.previous) + ")"
                                     : "a new best";
    } else {
        best = number(cardNote.best.previous);
    }
    struct Line {
        std::string text;
        float size;
        uint32_t rgba;
    };
    const Line lines[] = {
        {"LEVEL FINISHED", small, kCardHeading},
        {finish.text, title, kCardText},
        {"Time   " + std::string(seconds), body, kCardText},
        {"Score  " + number(finish.score), body, kCardText},
        {"Best   " + best, body, kCardText},
        {cardKeys, small, kCardQuiet},
    };
    float width = 0.0f, height = 0.0f;
    for (const Line& line : lines) {
        const Vec2f size = measure(line.text, line.size);
        width = std::max(width, size.x);
        height += size.y + gap;
    }
    width += 2 * padding;
    height += 2 * padding - gap;
    const float left = std::floor((window.x - width) * 0.5f), top = std::floor((window.y - height) * 0.5f);
    darkBox(left, top, left + width, top + height, 0.92f);
    glColor4f(1.0f, 0.85f, 0.4f, 1.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(left + 0.5f, top + 0.5f);
    glVertex2f(left + width - 0.5f, top + 0.5f);
    glVertex2f(left + width - 0.5f, top + height - 0.5f);
    glVertex2f(left + 0.5f, top + height - 0.5f);
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    float y = top + padding;
    for (const Line& line : lines) {
        const Vec2f size = measure(line.text, line.size);
        write(line.text, std::floor(left + (width - size.x) * 0.5f), y, line.size, line.rgba);
        y += size.y + gap;
    }
}

void drawAll(const Vec2f window) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawLabels(window);
    if (!stoppedScriptLine().empty()) boxedLine(stoppedScriptLine(), kMargin, kStoppedTop, kStoppedColour);
    drawReadout(window);
    if (levelFinish().reached) drawCard(window, levelFinish());
}
}  // namespace

void showEditorReadoutForLevel(bool shown) { readoutForLevel = shown; }

void setFinishCardKeys(const std::string& line) { cardKeys = line; }

void resetLevelOverlay() {
    readoutForLevel = false;
    cardKeys = kPlainCardKeys;
    cardNote = CardNote();
}

void drawLevelOverlay() {
    if (!levelFinish().reached) cardNote = CardNote();  // a restart: the next finish is noted anew
    Vec2f cursor;
    const bool readout = readoutWanted() && editorPointerAt(cursor);
    if (levelLabels().empty() && stoppedScriptLine().empty() && !readout && !levelFinish().reached) return;
    drawInWindowPixels(drawAll);
}
