// map_history.h: undo and redo of map edits, each kept as the quads it took out and put in.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "map/map_quad.h"

using MapSnapshot = std::vector<QuadShape>;  // the quad list, in order

constexpr size_t kMaxUndoLevels = 200;  // the oldest edit is forgotten beyond this

MapSnapshot snapshotMap();  // the quads as they stand now (for comparisons; O(quads))

// Call just after appending one quad at the end of the list: undoing removes it. Closes an open
// edit first and clears the redo list, as every new edit does.
void recordQuadAppended(const std::string& label);
// The same for the last count quads of the list, appended together: one undo removes them all.
void recordQuadsAppended(const std::string& label, int32_t count);
// Removes the quads at the given indices (ascending, in range) as one edit.
void eraseQuadsAsEdit(const std::string& label, const std::vector<int32_t>& indices);
// Call just before the whole list is replaced (a reload): undoing brings back every quad as it
// stands now. Costs a copy of the map.
void recordWholeMap(const std::string& label);
// Opens an edit whose effect is known only at its end (a drag): keeps the selected quads among
// candidates (ascending indices, every selected quad among them) as they stand. While one is
// open, a second call renames it and adds quads selected since.
void beginMapEdit(const std::string& label, const std::vector<int32_t>& candidates);
// Closes the open edit: recorded when a kept quad's corners or tag changed, dropped otherwise.
// True when it was recorded.
bool endMapEdit();
bool mapEditOpen();

// Closes an open edit, then puts the map back as it was before the last edit, rebuilding the
// bodies of the quads it restores. False, with nothing changed, when there is nothing to undo;
// label (may be null) gets the edit's name.
bool undoMapEdit(std::string* label);
// Replays the last undone edit the same way; false when there is nothing to redo.
bool redoMapEdit(std::string* label);
size_t undoLevels();
size_t redoLevels();
void clearMapHistory();  // forgets every edit and an open one
