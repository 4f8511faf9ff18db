// map_commands.cpp: adding and deleting quads from the keyboard, each as one undoable edit.
#include "map/map_commands.h"

#include <string>
#include <vector>

#include "map/map_editor.h"
#include "map/map_history.h"
#include "map/map_quad.h"

namespace {
std::string quadCountLabel(const char* verb, int32_t count) {
    if (count == 1) return std::string(verb) + " quad";
    return std::string(verb) + " " + std::to_string(count) + " quads";
}
}  // namespace

void addDefaultQuadAsEdit() {
    addDefaultQuad();
    recordQuadAppended("add quad");
}

bool addSquareAt(Vec2f centre) {
    // Snapping the top-left corner and keeping the side keeps a 40 x 40 square even where a
    // corner sits exactly half-way between grid lines; elsewhere it is the drag's own snap.
    const float left = snapCoordinate(centre.x - kDefaultSquareSide * 0.5f);
    const float top = snapCoordinate(centre.y - kDefaultSquareSide * 0.5f);
    const float right = left + kDefaultSquareSide;
    const float bottom = top + kDefaultSquareSide;
    const Vec2f corners[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    if (!cornersPassValidation(corners)) return false;
    createQuad(left, top, right, top, right, bottom, left, bottom);
    recordQuadAppended("add quad");
    return true;
}

int32_t countSelectedQuads() {
    int32_t count = 0;
    for (const auto& quad : mapQuads()) count += quad->selected ? 1 : 0;
    return count;
}

int32_t deleteSelectedQuads() {
    std::vector<int32_t> doomed;
    for (int32_t i = 0; i < getQuadCount(); ++i) {
        if (getQuad(i).selected) doomed.push_back(i);
    }
    const auto count = static_cast<int32_t>(doomed.size());
    if (count == 0) return 0;
    eraseQuadsAsEdit(quadCountLabel("delete", count), doomed);
    return count;
}
