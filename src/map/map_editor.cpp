// map_editor.cpp: selecting, dragging and snapping map quads with the mouse.
#include "map/map_editor.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "map/box_select.h"
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
    float pixelSize = 1.0f;  // world units per window pixel
    Vec2f pointer;           // the cursor, once known
    bool pointerKnown = false;
    bool banding = false;    // a Shift drag on empty space is drawing a rubber band
    Vec2f bandFrom, bandTo;
    RefusedEdit refused;     // why empty when nothing was refused since the last look
};
EditorState editor;
auto& activeQuads = editor.activeQuads;
auto& activeGeneration = editor.activeGeneration;
auto& activeKnown = editor.activeKnown;
std::vector<int32_t> pressHits;     // scratch, reused
std::vector<int32_t> mergedActive;  // scratch, reused
std::vector<int32_t> handleHits;    // scratch, reused

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

void refuse(const MapQuad& quad, const char* why) {
    editor.refused.why = why;
    for (int k = 0; k < 4; ++k) editor.refused.corners[k] = quad.vertices[k];
}

const char* refusalFor(CornerFault fault) {
    switch (fault) {
        case CornerFault::None: break;
        case CornerFault::NotFinite: return "Out of range: corner kept";
        case CornerFault::Collinear: return "Corners in a line: corner kept";
        case CornerFault::WrongWinding: return "Folded over: corner kept";
        case CornerFault::NotConvex: return "Not convex: corner kept";
    }
    return "";
}

void dragQuad(MapQuad& quad, Vec2f d) {
    Vec2f* v = quad.vertices;
    if (quad.editMode >= 0 && quad.editMode <= 3) {
        Vec2f moved[4] = {v[0], v[1], v[2], v[3]};
        moved[quad.editMode].x += d.x;
        moved[quad.editMode].y += d.y;
        const CornerFault fault = cornerFault(moved);
        setGeometry(quad, moved[0].x, moved[0].y, moved[1].x, moved[1].y, moved[2].x, moved[2].y,
                    moved[3].x, moved[3].y);
        if (fault != CornerFault::None) {
            refuse(quad, refusalFor(fault));
        } else if (!isValidBodyPolygon(quad.vertices)) {
            // Taken, as the map allows, but nothing collides with it.
            refuse(quad, "Too thin for the physics: no body");
        }
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
    if (cornersPassValidation(snapped) && isValidBodyPolygon(snapped)) {
        setCorners(quad, snapped);
    } else {
        refuse(quad, "Snap would fold it: left off the grid");
    }
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
    // A drawn handle takes the press even a few pixels outside its quad; inside, the quad's
    // own zones decide as they always have.
    handleHits.clear();
    for (int32_t i : activeQuads) {
        const MapQuad& quad = getQuad(i);
        if (quad.selected && handleAt(quad, point) >= 0 && !containsPoint(quad, point)) handleHits.push_back(i);
    }
    if (!handleHits.empty()) {
        mergedActive.clear();
        std::set_union(pressHits.begin(), pressHits.end(), handleHits.begin(), handleHits.end(),
                       std::back_inserter(mergedActive));
        pressHits.swap(mergedActive);
    }
    for (int32_t i : activeQuads) {
        if (!std::binary_search(pressHits.begin(), pressHits.end(), i)) getQuad(i).selected = false;
    }
    for (int32_t i : pressHits) {
        MapQuad& quad = getQuad(i);
        if (quad.selected) {
            if (containsPoint(quad, point)) {
                pickEditMode(quad, point);
            } else {
                quad.editMode = handleAt(quad, point);
            }
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

void pickEditMode(MapQuad& quad, Vec2f point) { quad.editMode = editModeAt(quad, point); }

int32_t editModeAt(const MapQuad& quad, Vec2f point) {
    int32_t mode = kWholeQuad;
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
        if (wrappedDiff(headingDeg(a, b), headingDeg(a, point)) < 0.0f) mode = cut.corner;
    }
    return mode;
}

void setEditorPixelSize(float worldUnitsPerPixel) {
    if (std::isfinite(worldUnitsPerPixel) && worldUnitsPerPixel > 0.0f) editor.pixelSize = worldUnitsPerPixel;
}

int32_t handleAt(const MapQuad& quad, Vec2f point) {
    const float reach = kHandleReachPixels * editor.pixelSize;
    int32_t nearest = -1;
    float nearestDistance = reach;
    for (int32_t k = 0; k < 4; ++k) {
        // The handles are squares on screen, so "on the handle" is a square reach too.
        const float distance = std::max(std::fabs(point.x - quad.vertices[k].x),
                                        std::fabs(point.y - quad.vertices[k].y));
        if (distance <= nearestDistance && (nearest == -1 || distance < nearestDistance)) {
            nearest = k;
            nearestDistance = distance;
        }
    }
    return nearest;
}

void editorPointer(Vec2f point) {
    editor.pointer = point;
    editor.pointerKnown = true;
    if (editor.banding) editor.bandTo = point;
}

bool editorPointerAt(Vec2f& point) {
    if (editor.pointerKnown) point = editor.pointer;
    return editor.pointerKnown;
}

int32_t hoverGrab(const MapQuad& quad) {
    if (!editor.enabled || !editor.pointerKnown || editor.banding) return -1;
    if (!quad.selected || quad.editMode != -1) return -1;
    if (containsPoint(quad, editor.pointer)) return editModeAt(quad, editor.pointer);
    return handleAt(quad, editor.pointer);
}

void editorShiftPress(Vec2f point) {
    if (!editor.enabled) return;
    const int32_t top = topQuadAt(point);
    if (top >= 0) {
        MapQuad& quad = getQuad(top);
        quad.selected = !quad.selected;
        quad.editMode = -1;
        editor.activeKnown = false;  // a quad may have joined the active ones
        return;
    }
    editor.banding = true;
    editor.bandFrom = point;
    editor.bandTo = point;
}

bool rubberBand(Vec2f& from, Vec2f& to) {
    from = editor.bandFrom;
    to = editor.bandTo;
    return editor.banding;
}

bool takeRefusedEdit(RefusedEdit& out) {
    if (editor.refused.why.empty()) return false;
    out = editor.refused;
    editor.refused = RefusedEdit();
    return true;
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
    if (editor.banding) {
        editor.banding = false;
        selectQuadsTouching(editor.bandFrom, editor.bandTo);
        editor.activeKnown = false;
    }
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

void setEditorEnabled(bool enabled) {
    editor.enabled = enabled;
    if (!enabled) editor.banding = false;  // its release would never come through
}
bool editorEnabled() { return editor.enabled; }
void resetEditor() { editor = EditorState(); }

const std::vector<int32_t>& activeQuadIndices() {
    syncActiveQuads();
    dropIdleQuads();
    return activeQuads;
}
