// map_editor.cpp: selecting, dragging and snapping map quads with the mouse.
#include "map/map_editor.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "map/map_history.h"
#include "map/map_quad.h"
#include "map/quad_index.h"

namespace {

constexpr int32_t kWholeQuad = 4;

struct EditorState {
    bool enabled = true;  // on at start
    // Ascending indices of every quad that is selected or has a drag mode; all other quads are
    // idle, and a press, drag or release leaves an idle quad alone unless the press hits it.
    // Recomputed from the flags whenever the list's indices may have shifted.
    std::vector<int32_t> activeQuads;
    uint32_t activeGeneration = 0;
    bool activeKnown = false;
};
EditorState editor;
auto& activeQuads = editor.activeQuads;
auto& activeGeneration = editor.activeGeneration;
auto& activeKnown = editor.activeKnown;
std::vector<int32_t> pressHits;     // scratch, reused
std::vector<int32_t> mergedActive;  // scratch, reused

bool isActive(const MapQuad& quad) { return quad.selected || quad.editMode != -1; }

void syncActiveQuads() {
    if (activeKnown && activeGeneration == quadListGeneration()) return;
    activeQuads.clear();
    for (int32_t i = 0; i < getQuadCount(); ++i) {
        if (isActive(getQuad(i))) activeQuads.push_back(i);
    }
    activeGeneration = quadListGeneration();
    activeKnown = true;
}

void dropIdleQuads() {
    activeQuads.erase(std::remove_if(activeQuads.begin(), activeQuads.end(),
                                     [](int32_t i) { return !isActive(getQuad(i)); }),
                      activeQuads.end());
}

void dragQuad(MapQuad& quad, Vec2f d) {
    Vec2f* v = quad.vertices;
    if (quad.editMode >= 0 && quad.editMode <= 3) {
        Vec2f moved[4] = {v[0], v[1], v[2], v[3]};
        moved[quad.editMode].x += d.x;
        moved[quad.editMode].y += d.y;
        setGeometry(quad, moved[0].x, moved[0].y, moved[1].x, moved[1].y, moved[2].x, moved[2].y,
                    moved[3].x, moved[3].y);
    } else if (quad.editMode == kWholeQuad) {
        // The fixture and centre catch up at the first motion after release.
        Vec2f moved[4];
        for (int k = 0; k < 4; ++k) moved[k] = Vec2f{v[k].x + d.x, v[k].y + d.y};
        setCorners(quad, moved);
    } else if (quad.editMode == -1) {
        setGeometry(quad, v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y, v[3].x, v[3].y);
    }
}

// Rounding corners that lie closer than a grid step can fold the quad or put two corners on
// one grid point; such a release keeps the corners the drag left.
void snapUnlessItFolds(MapQuad& quad) {
    Vec2f snapped[4];
    for (int k = 0; k < 4; ++k) {
        snapped[k] = Vec2f{snapCoordinate(quad.vertices[k].x), snapCoordinate(quad.vertices[k].y)};
    }
    if (cornersPassValidation(snapped) && isValidBodyPolygon(snapped)) setCorners(quad, snapped);
}

// What undo calls a drag of the quads grabbed now: "move quad", "move corner", "move 3 quads".
std::string dragLabel() {
    int32_t grabbed = 0, corners = 0;
    for (int32_t i : activeQuads) {
        const MapQuad& quad = getQuad(i);
        if (quad.editMode == -1) continue;
        ++grabbed;
        if (quad.editMode != kWholeQuad) ++corners;
    }
    if (grabbed == 0) return std::string();
    const bool onlyCorners = corners == grabbed;
    if (grabbed == 1) return onlyCorners ? "move corner" : "move quad";
    return "move " + std::to_string(grabbed) + (onlyCorners ? " corners" : " quads");
}

}  // namespace

// Every quad under the point is selected or grabbed and every other one deselected; each quad's
// outcome depends on itself alone, so only the quads hit and the active ones need a visit.
void editorMouseDown(Vec2f point) {
    if (!editor.enabled) return;
    syncActiveQuads();
    quadsNearPoint(point, pressHits);
    pressHits.erase(std::remove_if(pressHits.begin(), pressHits.end(),
                                   [point](int32_t i) { return !containsPoint(getQuad(i), point); }),
                    pressHits.end());
    for (int32_t i : activeQuads) {
        if (!std::binary_search(pressHits.begin(), pressHits.end(), i)) getQuad(i).selected = false;
    }
    for (int32_t i : pressHits) {
        MapQuad& quad = getQuad(i);
        if (quad.selected) {
            pickEditMode(quad, point);
        } else {
            quad.selected = true;
            quad.editMode = -1;
        }
    }
    mergedActive.clear();
    std::set_union(activeQuads.begin(), activeQuads.end(), pressHits.begin(), pressHits.end(),
                   std::back_inserter(mergedActive));
    activeQuads.swap(mergedActive);
    dropIdleQuads();
    // The whole drag, up to its snap on release, becomes one undoable edit.
    const std::string label = dragLabel();
    if (!label.empty()) beginMapEdit(label, activeQuads);
}

void pickEditMode(MapQuad& quad, Vec2f point) {
    quad.editMode = kWholeQuad;
    Vec2f mid[4];
    for (int k = 0; k < 4; ++k) {
        const Vec2f a = quad.vertices[k];
        const Vec2f b = quad.vertices[(k + 1) % 4];
        mid[k] = Vec2f{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f};
    }
    // Each segment joining neighbouring midpoints cuts off one corner triangle; all four tests
    // run and a later hit wins.
    struct Cut {
        int from, to;
        int32_t corner;
    };
    static const Cut kCuts[4] = {{0, 1, 1}, {1, 2, 2}, {2, 3, 3}, {3, 0, 0}};
    for (const Cut& cut : kCuts) {
        const Vec2f a = mid[cut.from];
        const Vec2f b = mid[cut.to];
        if (wrappedDiff(headingDeg(a, b), headingDeg(a, point)) < 0.0f) quad.editMode = cut.corner;
    }
}

void editorDrag(Vec2f delta) {
    if (!editor.enabled) return;
    syncActiveQuads();
    for (int32_t i : activeQuads) {
        MapQuad& quad = getQuad(i);
        if (quad.selected) dragQuad(quad, delta);
    }
}

void editorMouseUp() {
    if (!editor.enabled) return;
    syncActiveQuads();
    for (int32_t i : activeQuads) {
        MapQuad& quad = getQuad(i);
        if (quad.editMode != -1) snapUnlessItFolds(quad);
        quad.editMode = -1;
    }
    endMapEdit();
    dropIdleQuads();
}

void addDefaultQuad() { createQuad(30.0f, 30.0f, 70.0f, 30.0f, 70.0f, 70.0f, 30.0f, 70.0f); }

void setEditorEnabled(bool enabled) { editor.enabled = enabled; }
bool editorEnabled() { return editor.enabled; }
void resetEditor() { editor = EditorState(); }

const std::vector<int32_t>& activeQuadIndices() {
    syncActiveQuads();
    dropIdleQuads();
    return activeQuads;
}
