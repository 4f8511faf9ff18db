// map_history.cpp: the undo and redo lists of whole-map snapshots, and the one open edit.
#include "map/map_history.h"

#include <deque>
#include <utility>

namespace {

struct Entry {
    std::string label;
    MapSnapshot map;  // before the edit on the undo list, after it on the redo list
};

std::deque<Entry> undoList;
std::deque<Entry> redoList;
bool editOpen = false;
Entry openEdit;

void pushUndo(Entry entry) {
    undoList.push_back(std::move(entry));
    if (undoList.size() > kMaxUndoLevels) undoList.pop_front();
    redoList.clear();  // a new edit forks history; the undone branch is gone
}

// Moves one entry from one list to the other, swapping the map for the current one.
bool travel(std::deque<Entry>& from, std::deque<Entry>& to, std::string* label) {
    endMapEdit();
    if (from.empty()) return false;
    Entry entry = std::move(from.back());
    from.pop_back();
    to.push_back({entry.label, snapshotMap()});
    replaceAllQuads(entry.map);
    if (label != nullptr) *label = entry.label;
    return true;
}

}  // namespace

MapSnapshot snapshotMap() {
    MapSnapshot map;
    map.reserve(mapQuads.size());
    for (const auto& quad : mapQuads) map.push_back(shapeOf(*quad));
    return map;
}

void recordMapEdit(const std::string& label) {
    endMapEdit();
    pushUndo({label, snapshotMap()});
}

void beginMapEdit(const std::string& label) {
    if (!editOpen) openEdit.map = snapshotMap();
    openEdit.label = label;
    editOpen = true;
}

bool endMapEdit() {
    if (!editOpen) return false;
    editOpen = false;
    Entry entry = std::move(openEdit);
    openEdit = Entry{};
    if (sameGeometry(entry.map, snapshotMap())) return false;
    pushUndo(std::move(entry));
    return true;
}

bool mapEditOpen() { return editOpen; }

bool undoMapEdit(std::string* label) { return travel(undoList, redoList, label); }
bool redoMapEdit(std::string* label) { return travel(redoList, undoList, label); }
size_t undoLevels() { return undoList.size(); }
size_t redoLevels() { return redoList.size(); }

void clearMapHistory() {
    undoList.clear();
    redoList.clear();
    editOpen = false;
    openEdit = Entry{};
}
