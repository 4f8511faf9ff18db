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
