// map_commands.h: the map edits that keys trigger, each one recorded for undo.
#pragma once
#include <cstdint>

#include "core/vec2.h"

constexpr float kDefaultSquareSide = 40.0f;  // world units, the side of the square keys add

// Key 3: the default square at (30, 30)..(70, 70), last in the list, as one undoable edit.
void addDefaultQuadAsEdit();
// A default square around centre (world units), its corners on the 8-unit grid the way a
// released drag snaps them; last in the list, unselected, as one undoable edit. False, with
// nothing added, so far out that float32 can no longer hold a 40-unit square.
bool addSquareAt(Vec2f centre);
// Removes every selected quad and its fixture, the rest keeping their order, as one undoable edit.
// Returns how many went; with none selected nothing is recorded.
int32_t deleteSelectedQuads();
int32_t countSelectedQuads();

// The clipboard of map quads: the selected quads' shapes, kept until the next copy.
int32_t copySelectedQuads();  // how many were copied; with none selected the clipboard stays
int32_t clipboardSize();
void clearClipboard();  // a new game starts with nothing copied
// What a paste or a duplicate did: how many quads it added (0 when there was nothing to add), and
// whether it was turned away because the copies would lie too far out for float32 to shape them.
struct PlaceResult {
    int32_t added = 0;
    bool tooFar = false;
};
// The clipboard's quads, moved so that the middle of their bounds lands on centre by a whole
// number of grid steps (so copies of quads on the grid stay on it), appended in their order,
// selected, every other quad deselected, as one undoable edit.
PlaceResult pasteQuadsAt(Vec2f centre);
// Copies of the selected quads one grid step right and down, the same way; the clipboard stays.
PlaceResult duplicateSelectedQuads();
