// map_editor.h: selecting, dragging and snapping map quads with the mouse.
#pragma once
#include <cstdint>
#include <vector>

#include "core/vec2.h"

struct MapQuad;


// A press at point (world units): selects the quads under it, or picks what a second press
// on a selected quad will drag (a corner or the whole quad).
void editorMouseDown(Vec2f point);
void pickEditMode(MapQuad& quad, Vec2f point);
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
