// map_commands.cpp: adding and deleting quads from the keyboard, each as one undoable edit.
#include "map/map_commands.h"

#include <algorithm>
#include <string>
#include <vector>

#include "map/map_editor.h"
#include "map/map_history.h"
#include "map/map_quad.h"

namespace {
struct CommandState {
    std::vector<QuadShape> clipboard;
};
CommandState commands;

std::vector<QuadShape> selectedShapes() {
    std::vector<QuadShape> shapes;
    for (const auto& quad : mapQuads()) {
        if (quad.selected) shapes.push_back(shapeOf(quad));
    }
    return shapes;
}

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
    for (const auto& quad : mapQuads()) count += quad.selected ? 1 : 0;
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

namespace {
// Appends the shapes moved by offset, selected, as one edit; nothing when any copy would not
// keep its shape.
PlaceResult placeCopies(const std::vector<QuadShape>& shapes, Vec2f offset, const char* verb) {
    PlaceResult result;
    if (shapes.empty()) return result;
    std::vector<PlacedShape> put;
    put.reserve(shapes.size());
    for (const QuadShape& shape : shapes) {
        PlacedShape placed{getQuadCount() + static_cast<int32_t>(put.size()), shape};
        for (Vec2f& v : placed.shape.vertices) v = Vec2f{v.x + offset.x, v.y + offset.y};
        // Far out, float32 rounds a moved corner and can fold the copy; a copy keeps its shape.
        if (cornersPassValidation(shape.vertices) && !cornersPassValidation(placed.shape.vertices)) {
            result.tooFar = true;
            return result;
        }
        placed.shape.selected = true;
        put.push_back(placed);
    }
    for (MapQuad& quad : mapQuads()) quad.selected = false;
    spliceQuads({}, put);
    result.added = static_cast<int32_t>(put.size());
    recordQuadsAppended(quadCountLabel(verb, result.added), result.added);
    return result;
}
}  // namespace

int32_t copySelectedQuads() {
    std::vector<QuadShape> shapes = selectedShapes();
    const auto count = static_cast<int32_t>(shapes.size());
    if (count > 0) commands.clipboard = std::move(shapes);
    return count;
}

int32_t clipboardSize() { return static_cast<int32_t>(commands.clipboard.size()); }
void clearClipboard() { commands.clipboard.clear(); }

PlaceResult pasteQuadsAt(Vec2f centre) {
    const std::vector<QuadShape>& shapes = commands.clipboard;
    if (shapes.empty()) return PlaceResult();
    Vec2f low = shapes[0].vertices[0], high = low;
    for (const QuadShape& shape : shapes) {
        for (const Vec2f& v : shape.vertices) {
            low = Vec2f{std::min(low.x, v.x), std::min(low.y, v.y)};
            high = Vec2f{std::max(high.x, v.x), std::max(high.y, v.y)};
        }
    }
    const Vec2f middle = {(low.x + high.x) * 0.5f, (low.y + high.y) * 0.5f};
    const Vec2f offset = {snapCoordinate(centre.x - middle.x), snapCoordinate(centre.y - middle.y)};
    return placeCopies(shapes, offset, "paste");
}

PlaceResult duplicateSelectedQuads() { return placeCopies(selectedShapes(), {kGridStep, kGridStep}, "duplicate"); }
