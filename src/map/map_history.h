// map_history.h: undo and redo of map edits, each kept as a whole snapshot of the quad list.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "map/map_quad.h"

using MapSnapshot = std::vector<QuadShape>;  // the quad list, in order

constexpr size_t kMaxUndoLevels = 200;  // the oldest edit is forgotten beyond this

MapSnapshot snapshotMap();  // the quads as they stand now

// Call just before an edit: keeps the map as it stands as what undoing label returns to, and
// clears the redo list. Closes an open edit first.
void recordMapEdit(const std::string& label);
// Opens an edit whose effect is known only at its end (a drag): keeps the map as it stands.
// While one is open, a second call only renames it.
void beginMapEdit(const std::string& label);
// Closes the open edit: recorded when the corners, tags or order changed since beginMapEdit,
// dropped otherwise. True when it was recorded.
bool endMapEdit();
bool mapEditOpen();

// Closes an open edit, then puts the map back as it was before the last edit and rebuilds every
// body. False, with nothing changed, when there is nothing to undo; label (may be null) gets the
// edit's name.
bool undoMapEdit(std::string* label);
// Replays the last undone edit the same way; false when there is nothing to redo.
bool redoMapEdit(std::string* label);
size_t undoLevels();
size_t redoLevels();
void clearMapHistory();  // forgets every edit and an open one
