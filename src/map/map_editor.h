// map_editor.h: selecting, dragging and snapping map quads with the mouse.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/vec2.h"

struct MapQuad;


// How far from a selected quad's corner, in window pixels, a press still takes that corner: the
// drawn handle (7 pixels across) and a little more, inside or outside the quad.
constexpr float kHandleReachPixels = 6.0f;

// A press at point (world units): selects the quads under it, or picks what a second press
// on a selected quad will drag (a corner or the whole quad). A press just outside a selected
// quad, on one of its drawn handles, grabs that corner instead of deselecting the quad.
void editorMouseDown(Vec2f point);
void pickEditMode(MapQuad& quad, Vec2f point);
int32_t editModeAt(const MapQuad& quad, Vec2f point);  // what pickEditMode would choose
// World units per window pixel at the current view, for the handles' reach; 1 until told.
void setEditorPixelSize(float worldUnitsPerPixel);
// The corner whose handle point falls on (the nearest one within reach), or -1.
int32_t handleAt(const MapQuad& quad, Vec2f point);
// Where the cursor is now (world units): what a press there would take, and a rubber band's end.
void editorPointer(Vec2f point);
// The cursor's last world position, once the pointer has moved over the window; false before.
bool editorPointerAt(Vec2f& point);
// What a press at the cursor would grab of this quad: 0..3 a corner, 4 the whole quad, -1 nothing
// (not selected, already grabbed, the cursor elsewhere, or the editor off).
int32_t hoverGrab(const MapQuad& quad);
// Shift with a press: on a quad, the topmost one under point is selected or deselected and
// nothing is grabbed; on empty space a rubber band starts there, and the release selects every
// quad it touches (the selection so far stays).
void editorShiftPress(Vec2f point);
bool rubberBand(Vec2f& from, Vec2f& to);  // true, with its corners, while one is being drawn

// A drag that left a quad as it was, or could not give it everything it asked.
struct RefusedEdit {
    std::string why;   // the player's message: "Not convex: corner kept"
    Vec2f corners[4];  // the quad as it stays
};
// The latest refusal since the last call, once; false when there was none.
bool takeRefusedEdit(RefusedEdit& out);
void editorDrag(Vec2f delta);  // the cursor moved by delta world units
void editorMouseUp();          // ends a drag, snapping dragged quads to the 8-unit grid
void addDefaultQuad();         // the 40 x 40 square at (30, 30)..(70, 70), owned by the list
// On at start; the mouse operations do nothing while it is off.
bool editorEnabled();
void setEditorEnabled(bool enabled);
void resetEditor();  // on, nothing active: as at start
// Ascending indices of every quad that is selected or being dragged (borrowed; valid until the
// next editor operation or list change). Every selected quad is among them.
const std::vector<int32_t>& activeQuadIndices();
