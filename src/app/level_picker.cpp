// level_picker.cpp: the picker's window callbacks, its drawing, and handing the window to a
// level and back.
#include "app/level_picker.h"

#include <GL/freeglut.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "app/level_overlay.h"
#include "app/best_scores.h"
#include "app/command_line.h"
#include "app/data_folders.h"
#include "app/level_catalog.h"
#include "app/picker_grid.h"
#include "app/text.h"
#include "app/window.h"
#include "core/heap_upkeep.h"
#include "game/level_finish.h"
#include "render/font.h"

namespace {
// The window opens at the game's own first size, so a level starts as it would on its own.
constexpr int32_t kWindowWidth = 1024;
constexpr int32_t kWindowHeight = 600;
constexpr int32_t kDoubleClickMs = 400;  // a second press on the same card within this plays it
constexpr unsigned char kEnterKey = 13;
constexpr unsigned char kEscKey = 27;
constexpr int kWheelUp = 3;  // GLUT reports the wheel as buttons 3 and 4
constexpr int kWheelDown = 4;
constexpr float kHeadingSize = 28.0f;  // pixels
constexpr float kTitleSize = 18.0f;
constexpr float kSmallSize = 14.0f;
constexpr int32_t kThumbnailWidth = 256;  // as drawn; the file's picture is scaled to it
constexpr int32_t kThumbnailHeight = 150;
constexpr int32_t kCardPadding = 8;
constexpr float kBitmapCharWidth = 9.0f;  // GLUT_BITMAP_9_BY_15
constexpr float kBitmapLineHeight = 15.0f;
constexpr uint32_t kHeadingColour = 0xffd966ffu;
constexpr uint32_t kTextColour = 0xffffffffu;
constexpr uint32_t kQuietColour = 0xb8c4e0ffu;
constexpr uint32_t kBestColour = 0x9be89bffu;
constexpr uint32_t kProblemColour = 0xff8a70ffu;

// After a level leaves (its Esc): back to the picker, on to the next level, or out.
enum class AfterLevel { Picker, Next, Quit };

struct Picker {
    std::vector<LevelCard> cards;       // in the grid's order
    std::vector<GLuint> thumbnails;     // per card; 0 for none
    std::vector<float> thumbnailUsed[2];  // per card: the picture's share of its texture, s and t
    int32_t selected = 0;
    int32_t firstRow = 0;
    int32_t width = 1024, height = 600;  // the window's, pixels
    int32_t lastClickCard = -1;
    int32_t lastClickMs = 0;
    int32_t playing = -1;  // the card whose level has the window; -1 while the picker has it
    AfterLevel after = AfterLevel::Picker;
    std::string message;   // why the last Enter played nothing; cleared by the next move
    std::string bestFile;
    std::string userData;
    std::string program;   // argv[0], for the level's own argument list
    std::vector<std::string> levelArguments;
    std::vector<char*> levelArgv;
};
Picker picker;

void installPickerCallbacks();

// Text in the scalable font, or in the bitmap font without one; (x, y) its top-left.
float textWidth(const std::string& text, float size) {
    if (fontAvailable()) return measureFontText(text, size).x;
    return static_cast<float>(text.size()) * kBitmapCharWidth;
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

// The text cut at a character boundary, with an ellipsis, to fit width pixels.
std::string fitted(const std::string& text, float size, float width) {
    if (textWidth(text, size) <= width) return text;
    std::string cut = text;
    while (!cut.empty()) {
        do cut.pop_back();
        while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xc0) == 0x80);
        if (!cut.empty()) cut.pop_back();  // the lead byte of the character cut
        if (textWidth(cut + "\xe2\x80\xa6", size) <= width) return cut + "\xe2\x80\xa6";
    }
    return cut;
}

// Words into lines of at most width pixels; a word wider than that is cut.
std::vector<std::string> wrapped(const std::string& text, float size, float width) {
    std::vector<std::string> lines;
    std::istringstream words(text);
    std::string word, line;
    while (words >> word) {
        const std::string longer = line.empty() ? word : line + " " + word;
        if (textWidth(longer, size) <= width || line.empty()) {
            line = longer;
        } else {
            lines.push_back(fitted(line, size, width));
            line = word;
        }
    }
    if (!line.empty()) lines.push_back(fitted(line, size, width));
    return lines;
}

int32_t nextPowerOfTwo(int32_t value) {
    int32_t power = 1;
    while (power < value) power *= 2;
    return power;
}

// Each card's picture into a texture of power-of-two sides, as OpenGL 1 asks.
void uploadThumbnails() {
    const size_t count = picker.cards.size();
    picker.thumbnails.assign(count, 0);
    picker.thumbnailUsed[0].assign(count, 1.0f);
    picker.thumbnailUsed[1].assign(count, 1.0f);
    for (size_t i = 0; i < count; ++i) {
        const DecodedImage& image = picker.cards[i].thumbnail;
        if (image.pixels.empty() || image.channels != 4) continue;
        const int32_t width = nextPowerOfTwo(image.width), height = nextPowerOfTwo(image.height);
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image.width, image.height, GL_RGBA, GL_UNSIGNED_BYTE,
                        image.pixels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        picker.thumbnails[i] = name;
        picker.thumbnailUsed[0][i] = static_cast<float>(image.width) / static_cast<float>(width);
        picker.thumbnailUsed[1][i] = static_cast<float>(image.height) / static_cast<float>(height);
    }
}

PickerGrid currentGrid() {
    const PickerGrid grid = layoutPickerGrid(static_cast<int32_t>(picker.cards.size()), picker.width,
                                             picker.height, picker.selected, picker.firstRow);
    picker.firstRow = grid.firstRow;
    return grid;
}

void rectangle(float left, float top, float right, float bottom, float r, float g, float b, float a) {
    glColor4f(r, g, b, a);
    glRectf(left, top, right, bottom);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void outline(float left, float top, float right, float bottom, float width, float r, float g, float b) {
    rectangle(left, top, right, top + width, r, g, b, 1.0f);
    rectangle(left, bottom - width, right, bottom, r, g, b, 1.0f);
    rectangle(left, top, left + width, bottom, r, g, b, 1.0f);
    rectangle(right - width, top, right, bottom, r, g, b, 1.0f);
}

std::string bestLine(const LevelCard& card) {
    if (!card.hasBest) return "Not finished yet";
    char number[40];
    std::snprintf(number, sizeof number, "%g", card.best);
    return std::string("Best: ") + number;
}

void drawCard(size_t index, float x, float y) {
    const LevelCard& card = picker.cards[index];
    const bool chosen = static_cast<int32_t>(index) == picker.selected;
    const float right = x + kPickerCardWidth, bottom = y + kPickerCardHeight;
    if (card.readable) {
        rectangle(x, y, right, bottom, chosen ? 0.16f : 0.09f, chosen ? 0.17f : 0.10f, chosen ? 0.34f : 0.21f, 1.0f);
    } else {
        rectangle(x, y, right, bottom, chosen ? 0.32f : 0.22f, 0.08f, 0.10f, 1.0f);
    }
    const float pictureLeft = x + kCardPadding, pictureTop = y + kCardPadding;
    const float pictureRight = pictureLeft + kThumbnailWidth, pictureBottom = pictureTop + kThumbnailHeight;
    const float textWidthAvailable = kPickerCardWidth - 2.0f * kCardPadding;
    if (picker.thumbnails[index] != 0) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, picker.thumbnails[index]);
        const float s = picker.thumbnailUsed[0][index], t = picker.thumbnailUsed[1][index];
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f), glVertex2f(pictureLeft, pictureTop);
        glTexCoord2f(s, 0.0f), glVertex2f(pictureRight, pictureTop);
        glTexCoord2f(s, t), glVertex2f(pictureRight, pictureBottom);
        glTexCoord2f(0.0f, t), glVertex2f(pictureLeft, pictureBottom);
        glEnd();
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
    } else {
        rectangle(pictureLeft, pictureTop, pictureRight, pictureBottom, 0.03f, 0.03f, 0.07f, 1.0f);
        if (card.readable) {
            write("No picture", pictureLeft + 10.0f, pictureTop + 10.0f, kSmallSize, kQuietColour);
        } else {
            write("Cannot be played", pictureLeft + 10.0f, pictureTop + 10.0f, kTitleSize, kProblemColour);
            float lineTop = pictureTop + 40.0f;
            for (const std::string& line : wrapped(card.problem, kSmallSize, kThumbnailWidth - 20.0f)) {
                if (lineTop + kBitmapLineHeight > pictureBottom) break;
                write(line, pictureLeft + 10.0f, lineTop, kSmallSize, kTextColour);
                lineTop += kSmallSize + 5.0f;
            }
        }
    }
    const float textLeft = x + kCardPadding;
    write(fitted(card.title, kTitleSize, textWidthAvailable), textLeft, pictureBottom + 8.0f, kTitleSize,
          kTextColour);
    if (card.readable) {
        write(fitted("by " + card.author, kSmallSize, textWidthAvailable), textLeft, pictureBottom + 34.0f,
              kSmallSize, kQuietColour);
        write(bestLine(card), textLeft, pictureBottom + 56.0f, kSmallSize, card.hasBest ? kBestColour : kQuietColour);
    } else {
        write("Cannot be read", textLeft, pictureBottom + 34.0f, kSmallSize, kProblemColour);
    }
    if (chosen) outline(x - 3.0f, y - 3.0f, right + 3.0f, bottom + 3.0f, 3.0f, 1.0f, 0.85f, 0.4f);
}

void drawPicker() {
    glViewport(0, 0, picker.width, picker.height);
    glClearColor(0.025f, 0.025f, 0.125f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_STENCIL_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, picker.width, picker.height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    const PickerGrid grid = currentGrid();
    write("Levels", 24.0f, 14.0f, kHeadingSize, kHeadingColour);
    const size_t count = picker.cards.size();
    if (count == 0) {
        write("No level files here. Put .kvlevel files in " + picker.userData + "/levels,", 24.0f, 80.0f,
              kSmallSize, kTextColour);
        write("or name them after --levels.", 24.0f, 100.0f, kSmallSize, kTextColour);
    } else {
        const LevelCard& chosen = picker.cards[static_cast<size_t>(picker.selected)];
        const std::string about = chosen.readable ? chosen.description : chosen.path;
        // Which of how many: the grid may hold more rows than the window shows.
        const std::string place = std::to_string(picker.selected + 1) + " of " + std::to_string(count);
        const float placeLeft = static_cast<float>(picker.width) - 24.0f - textWidth(place, kSmallSize);
        write(place, placeLeft, 26.0f, kSmallSize, kQuietColour);
        const float aboutLeft = 24.0f + textWidth("Levels", kHeadingSize) + 24.0f;
        write(fitted(about, kSmallSize, placeLeft - aboutLeft - 24.0f), aboutLeft, 26.0f, kSmallSize, kQuietColour);
    }
    for (size_t i = 0; i < count; ++i) {
        int32_t x = 0, y = 0;
        pickerCardCorner(grid, static_cast<int32_t>(i), x, y);
        const int32_t row = static_cast<int32_t>(i) / grid.columns;
        if (row < grid.firstRow || row >= grid.firstRow + grid.visibleRows) continue;
        drawCard(i, static_cast<float>(x), static_cast<float>(y));
    }
    const float footer = static_cast<float>(picker.height) - 24.0f;
    rectangle(0.0f, footer - 8.0f, static_cast<float>(picker.width), static_cast<float>(picker.height), 0.02f,
              0.03f, 0.08f, 0.9f);
    const std::string keys = picker.message.empty()
                                 ? "Arrows or a click choose, Enter or a double-click plays, Esc or q quits.  "
                                   "In a level: Esc back here, q quits, n the next level once finished."
                                 : picker.message;
    write(fitted(keys, kSmallSize, static_cast<float>(picker.width) - 48.0f), 24.0f, footer, kSmallSize,
          picker.message.empty() ? kQuietColour : kProblemColour);
    glutSwapBuffers();
}

void choose(int32_t index) {
    if (index < 0 || index == picker.selected) return;
    picker.selected = index;
    picker.message.clear();
    glutPostRedisplay();
}

unsigned char levelKey(unsigned char key);
void levelLeft();

void playCard(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(picker.cards.size())) return;
    const LevelCard& card = picker.cards[static_cast<size_t>(index)];
    if (!card.readable) {
        picker.message = card.title + " cannot be played: " + card.problem;
        glutPostRedisplay();
        return;
    }
    std::ostringstream why;
    DataFolders folders;
    if (!prepareLevelFile(card.path, currentFolderFacts(""), folders, why) || !enterDataFolders(folders, why)) {
        std::cerr << why.str() << std::flush;
        std::string line = why.str();
        while (!line.empty() && line.back() == '\n') line.pop_back();
        picker.message = line;
        glutPostRedisplay();
        return;
    }
    std::cout << "Playing " << card.path << std::endl;
    picker.levelArguments = {picker.program, card.path};
    picker.levelArgv = {picker.levelArguments[0].data(), picker.levelArguments[1].data(), nullptr};
    picker.playing = index;
    picker.after = AfterLevel::Picker;
    setFinishCardKeys("r  play again    n  next level    Esc  the levels");
    OpenWindowGame game;
    game.left = levelLeft;
    game.key = levelKey;
    startGameInOpenWindow(2, picker.levelArgv.data(), picker.width, picker.height, game);
}

// In a level: q quits and n (once the level is finished) goes on, each through the level's own
// Esc, so the map is saved as Esc saves it and the recording ends as it would.
unsigned char levelKey(unsigned char key) {
    if (key == 'q') {
        picker.after = AfterLevel::Quit;
        return kEscKey;
    }
    if (key == 'n' && levelFinish().reached) {
        picker.after = AfterLevel::Next;
        return kEscKey;
    }
    if (key == kEscKey) picker.after = AfterLevel::Picker;
    return key;
}

int32_t nextPlayable(int32_t after) {
    const int32_t count = static_cast<int32_t>(picker.cards.size());
    for (int32_t step = 1; step < count; ++step) {
        const int32_t index = (after + step) % count;
        if (picker.cards[static_cast<size_t>(index)].readable) return index;
    }
    return -1;
}

void levelLeft() {
    const int32_t played = picker.playing;
    picker.playing = -1;
    endGameInOpenWindow(true);
    returnFreedHeap();  // a whole level's world and sheets were just freed
    LevelCard& card = picker.cards[static_cast<size_t>(played)];
    refreshLevelBest(card, picker.bestFile, picker.userData);
    if (picker.after == AfterLevel::Quit) {
        glutLeaveMainLoop();
        return;
    }
    picker.width = glutGet(GLUT_WINDOW_WIDTH);
    picker.height = glutGet(GLUT_WINDOW_HEIGHT);
    installPickerCallbacks();
    if (picker.after == AfterLevel::Next) {
        const int32_t next = nextPlayable(played);
        if (next >= 0) {
            picker.selected = next;
            playCard(next);
            return;
        }
    }
    glutPostRedisplay();
}

void pickerReshape(int width, int height) {
    picker.width = width;
    picker.height = height;
    glutPostRedisplay();
}

void pickerKey(unsigned char key, int, int) {
    if (key == kEnterKey) playCard(picker.selected);
    if (key == kEscKey || key == 'q') glutLeaveMainLoop();
}

void pickerSpecialKey(int key, int, int) {
    PickerMove move;
    switch (key) {
        case GLUT_KEY_LEFT: move = PickerMove::Left; break;
        case GLUT_KEY_RIGHT: move = PickerMove::Right; break;
        case GLUT_KEY_UP: move = PickerMove::Up; break;
        case GLUT_KEY_DOWN: move = PickerMove::Down; break;
        case GLUT_KEY_HOME: move = PickerMove::First; break;
        case GLUT_KEY_END: move = PickerMove::Last; break;
        case GLUT_KEY_PAGE_UP: move = PickerMove::PageUp; break;
        case GLUT_KEY_PAGE_DOWN: move = PickerMove::PageDown; break;
        default: return;
    }
    choose(movePickerSelection(picker.selected, move, static_cast<int32_t>(picker.cards.size()), currentGrid()));
}

void pickerMouse(int button, int state, int x, int y) {
    if (state != GLUT_DOWN) return;
    const int32_t count = static_cast<int32_t>(picker.cards.size());
    if (button == kWheelUp || button == kWheelDown) {
        const PickerMove move = button == kWheelUp ? PickerMove::Up : PickerMove::Down;
        choose(movePickerSelection(picker.selected, move, count, currentGrid()));
        return;
    }
    if (button != GLUT_LEFT_BUTTON) return;
    const int32_t index = pickerCardAt(currentGrid(), count, x, y);
    const int32_t now = glutGet(GLUT_ELAPSED_TIME);
    const bool again = index >= 0 && index == picker.lastClickCard && now - picker.lastClickMs <= kDoubleClickMs;
    picker.lastClickCard = again ? -1 : index;
    picker.lastClickMs = now;
    if (index < 0) return;
    choose(index);
    if (again) playCard(index);
}

void pickerClosed() {
    // The window and its context go; the game's close, when one plays, has its own callback.
}

void installPickerCallbacks() {
    glutReshapeFunc(pickerReshape);
    glutDisplayFunc(drawPicker);
    glutKeyboardFunc(pickerKey);
    glutKeyboardUpFunc(nullptr);
    glutSpecialFunc(pickerSpecialKey);
    glutMotionFunc(nullptr);
    glutPassiveMotionFunc(nullptr);
    glutMouseFunc(pickerMouse);
    glutIdleFunc(nullptr);
    glutCloseFunc(pickerClosed);
}
}  // namespace

int runLevelPicker(int argc, char** argv, const std::vector<std::string>& given) {
    pinHeapThresholds();  // as a game's start does: the picker's process plays many
    const FolderFacts facts = currentFolderFacts("");
    picker = Picker();
    picker.program = argc > 0 ? argv[0] : "kelvoran";
    picker.userData = facts.userData;
    picker.bestFile = bestScoresFile();
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string executableFolder = error ? std::string() : executable.parent_path().string();
    for (const std::string& path : listLevelFiles(levelFolders(executableFolder, facts.shipped, facts.userData), given)) {
        picker.cards.push_back(readLevelCard(path, picker.bestFile, picker.userData));
        if (!picker.cards.back().readable)
            std::cerr << "kelvoran: " << path << ": " << picker.cards.back().problem << std::endl;
    }
    openWindowForGame(argc, argv, kWindowWidth, kWindowHeight);
    uploadThumbnails();
    installPickerCallbacks();
    glutMainLoop();
    if (picker.playing >= 0) endGameInOpenWindow(false);  // the window closed during a level
    picker = Picker();
    return 0;
}
