// help_panel_drawing.cpp: the key list with the sandbox's state, and the messages at the top-right, as
// bitmap text on dark boxes in window pixels, so they read the same at any window size.
#include "app/help_panel_drawing.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "app/text.h"
#include "app/window_pixels.h"
#include "game/help_state.h"
#include "game/key_table.h"
#include "game/level_presentation.h"
#include "game/messages.h"
#include "game/sandbox.h"
#include "core/camera.h"
#include "map/map_editor.h"

namespace {
constexpr float kCharWidth = 9.0f;  // GLUT_BITMAP_9_BY_15, pixels
constexpr float kLineHeight = 18.0f;
constexpr float kAscent = 12.0f;     // baseline below a line's top
constexpr float kPadding = 16.0f;
constexpr float kMargin = 10.0f;     // messages from the window's edges
constexpr size_t kKeyChars = 13;     // key column width
constexpr size_t kColumnChars = 40;  // key and description
constexpr size_t kGapChars = 3;
constexpr size_t kMessageLines = 4;  // of one message; the rest is cut

// The key table's rows of one column, in order.
std::vector<const KeyRow*> column(HelpColumn which) {
    std::vector<const KeyRow*> rows;
    for (const KeyRow& row : keyRows())
        if (row.column == which) rows.push_back(&row);
    return rows;
}

void text(float x, float lineTop, const std::string& s) {
    drawText(static_cast<int>(x), static_cast<int>(lineTop + kAscent), "%s", s.c_str());
}

// What the level turned off shows greyed: the grab, the crates, the cars and the whole editor.
bool allowedByLevel(const KeyRow& row, const LevelAllows& allows) {
    const std::string keys = row.keys;
    if (keys == "right drag") return allows.grab;
    if (keys == "space") return allows.spawn;
    if (keys == "1") return allows.cars;
    if (row.column == HelpColumn::Edit) return allows.editor;
    return true;
}

void keyColour(bool allowed) {
    if (allowed) {
        glColor4f(0.55f, 0.85f, 1.0f, 1.0f);
    } else {
        glColor4f(0.35f, 0.38f, 0.45f, 1.0f);
    }
}

void labelColour(bool allowed) {
    if (allowed) {
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    } else {
        glColor4f(0.35f, 0.38f, 0.45f, 1.0f);
    }
}

// A level's own text cut to its column, so a long description cannot run into the next.
std::string fitted(const std::string& text, size_t chars) {
    return text.size() <= chars ? text : text.substr(0, chars - 1) + "~";
}

void box(float left, float top, float right, float bottom, float alpha) {
    glColor4f(0.02f, 0.03f, 0.08f, alpha);
    glRectf(left, top, right, bottom);
}

void drawPanel(const Vec2f window) {
    const std::vector<std::string> status =
        helpStatusLines(countSandbox(), editorEnabled(), simulationPaused());
    const std::vector<const KeyRow*> play = column(HelpColumn::Play);
    const std::vector<const KeyRow*> edit = column(HelpColumn::Edit);
    const size_t rows = std::max(play.size(), edit.size());
    const std::vector<LevelKey>& levelKeyList = levelKeys();
    const LevelAllows& allows = levelAllows();
    // The level's keys fill the left column, then the right; a heading and a blank line above.
    const size_t levelRows = (levelKeyList.size() + 1) / 2;
    const size_t levelLines = levelRows == 0 ? 0 : levelRows + 2;
    const float width = static_cast<float>(2 * kColumnChars + kGapChars) * kCharWidth + 2 * kPadding;
    const float height =
        static_cast<float>(rows + 2 + levelLines + status.size()) * kLineHeight + 2 * kPadding;
    const float left = std::max(0.0f, std::floor((window.x - width) * 0.5f));
    const float top = std::max(0.0f, std::floor((window.y - height) * 0.5f));
    box(left, top, left + width, top + height, 0.88f);
    glColor4f(0.45f, 0.55f, 0.85f, 1.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(left + 0.5f, top + 0.5f);
    glVertex2f(left + width - 0.5f, top + 0.5f);
    glVertex2f(left + width - 0.5f, top + height - 0.5f);
    glVertex2f(left + 0.5f, top + height - 0.5f);
    glEnd();

    const float x0 = left + kPadding;
    const float x1 = x0 + static_cast<float>(kColumnChars + kGapChars) * kCharWidth;
    const float keyWidth = static_cast<float>(kKeyChars) * kCharWidth;
    float y = top + kPadding;
    glColor4f(1.0f, 0.85f, 0.4f, 1.0f);
    text(x0, y, "PLAY");
    if (!allows.editor) {
        glColor4f(0.35f, 0.38f, 0.45f, 1.0f);
        text(x1, y, "MAP EDITOR (off in this level)");
    } else {
        text(x1, y, editorEnabled() ? "MAP EDITOR (on)" : "MAP EDITOR (off: 5 turns it on)");
    }
    y += kLineHeight;
    for (size_t i = 0; i < rows; ++i) {
        if (i < play.size()) {
            const bool allowed = allowedByLevel(*play[i], allows);
            keyColour(allowed);
            text(x0, y, play[i]->keys);
            labelColour(allowed);
            text(x0 + keyWidth, y, play[i]->label);
        }
        if (i < edit.size()) {
            const bool allowed = allowedByLevel(*edit[i], allows);
            keyColour(allowed);
            text(x1, y, edit[i]->keys);
            labelColour(allowed);
            text(x1 + keyWidth, y, edit[i]->label);
        }
        y += kLineHeight;
    }
    if (levelRows > 0) {
        y += kLineHeight;
        glColor4f(1.0f, 0.85f, 0.4f, 1.0f);
        text(x0, y, "LEVEL");
        y += kLineHeight;
        for (size_t i = 0; i < levelKeyList.size(); ++i) {
            const float x = i < levelRows ? x0 : x1;
            const float lineTop = y + static_cast<float>(i % levelRows) * kLineHeight;
            keyColour(true);
            text(x, lineTop, fitted(levelKeyList[i].key, kKeyChars - 1));
            labelColour(true);
            text(x + keyWidth, lineTop, fitted(levelKeyList[i].what, kColumnChars - kKeyChars));
        }
        y += static_cast<float>(levelRows) * kLineHeight;
    }
    y += kLineHeight;
    for (const std::string& line : status) {
        text(x0, y, line);
        y += kLineHeight;
    }
}

// A message wider than the window is wrapped (text whose start lies left of the window is not
// drawn at all); past kMessageLines it is cut with "...".
void drawMessages(const Vec2f window, const std::vector<std::string>& messages) {
    const float room = window.x - 2.0f * kMargin - 12.0f;
    const size_t columns = room > kCharWidth ? static_cast<size_t>(room / kCharWidth) : 1;
    float y = kMargin;
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {  // newest on top
        const std::vector<std::string> lines = wrapText(*it, columns, kMessageLines);
        size_t widest = 0;
        for (const std::string& line : lines) widest = std::max(widest, line.size());
        const float width = static_cast<float>(widest) * kCharWidth;
        const float right = window.x - kMargin;
        const float height = static_cast<float>(lines.size()) * kLineHeight;
        box(right - width - 8.0f, y, right + 4.0f, y + height + 2.0f, 0.75f);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        for (const std::string& line : lines) {
            text(right - width - 2.0f, y + 1.0f, line);
            y += kLineHeight;
        }
        y += 4.0f;
    }
}
}  // namespace

void drawHelpOverlay() {
    if (!helpPanelShown() && visibleMessages().empty()) return;
    drawInWindowPixels([](const Vec2f window) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        if (helpPanelShown()) drawPanel(window);
        drawMessages(window, visibleMessages());
    });
}
