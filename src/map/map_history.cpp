// map_history.cpp: the undo and redo lists and the one open edit. An edit is stored as the
// splice that reverses it, so its cost follows the quads it touched, not the size of the map.
#include "map/map_history.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <numeric>
#include <utility>

#include "map/map_invariants.h"

namespace {

// Turns the list as it is into the list the entry leads to.
struct Entry {
    std::string label;
    bool takeAll = false;            // a reload: every quad goes, whatever take says
    std::vector<int32_t> take;       // ascending positions in the list as it is
    std::vector<PlacedShape> put;    // ascending positions in the resulting list
};

struct History {
    std::deque<Entry> undoList;
    std::deque<Entry> redoList;
    bool editOpen = false;
    Entry openEdit;  // put holds the kept quads as they stood when the edit opened
};
History history;
auto& undoList = history.undoList;
auto& redoList = history.redoList;
auto& editOpen = history.editOpen;
auto& openEdit = history.openEdit;

void pushUndo(Entry entry) {
    undoList.push_back(std::move(entry));
    if (undoList.size() > kMaxUndoLevels) undoList.pop_front();
    redoList.clear();  // a new edit forks history; the undone branch is gone
}

// Applies entry and returns the entry that reverses it.
Entry apply(const Entry& entry) {
    std::vector<int32_t> take = entry.take;
    if (entry.takeAll) {
        take.resize(static_cast<size_t>(getQuadCount()));
        std::iota(take.begin(), take.end(), 0);
    }
    Entry inverse;
    inverse.label = entry.label;
    inverse.takeAll = entry.takeAll;
    inverse.put.reserve(take.size());
    for (int32_t index : take) inverse.put.push_back({index, shapeOf(getQuad(index))});
    if (!entry.takeAll) {
        for (const PlacedShape& placed : entry.put) inverse.take.push_back(placed.position);
    }
    spliceQuads(take, entry.put);
    return inverse;
}

bool travel(std::deque<Entry>& from, std::deque<Entry>& to, std::string* label) {
    endMapEdit();
    if (from.empty()) return false;
    Entry entry = std::move(from.back());
    from.pop_back();
    to.push_back(apply(entry));
    checkMapInvariants("after an undo or redo splice");
    if (label != nullptr) *label = entry.label;
    return true;
}

bool sameCornersAndTag(const QuadShape& a, const MapQuad& b) {
    // Bits, not values: -0 and 0 differ on disk, and a NaN must still equal itself.
    return std::memcmp(a.vertices, b.vertices, sizeof a.vertices) == 0 && a.tag == b.tag;
}

}  // namespace

MapSnapshot snapshotMap() {
    MapSnapshot map;
    map.reserve(mapQuads().size());
    for (const auto& quad : mapQuads()) map.push_back(shapeOf(quad));
    return map;
}

void recordQuadAppended(const std::string& label) { recordQuadsAppended(label, 1); }

void recordQuadsAppended(const std::string& label, int32_t count) {
    endMapEdit();
    Entry entry{label, false, {}, {}};
    for (int32_t i = getQuadCount() - count; i < getQuadCount(); ++i) entry.take.push_back(i);
    pushUndo(std::move(entry));
}

void eraseQuadsAsEdit(const std::string& label, const std::vector<int32_t>& indices) {
    endMapEdit();
    pushUndo(apply({label, false, indices, {}}));
}

void recordWholeMap(const std::string& label) {
    endMapEdit();
    Entry entry{label, true, {}, {}};
    entry.put.reserve(mapQuads().size());
    for (int32_t i = 0; i < getQuadCount(); ++i) entry.put.push_back({i, shapeOf(getQuad(i))});
    pushUndo(std::move(entry));
}

void beginMapEdit(const std::string& label, const std::vector<int32_t>& candidates) {
    if (!editOpen) openEdit = Entry{};
    openEdit.label = label;
    editOpen = true;
    std::vector<PlacedShape>& kept = openEdit.put;
    for (int32_t i : candidates) {
        const MapQuad& quad = getQuad(i);
        if (!quad.selected) continue;
        const auto at = std::lower_bound(kept.begin(), kept.end(), i,
                                         [](const PlacedShape& p, int32_t n) { return p.position < n; });
        if (at == kept.end() || at->position != i) kept.insert(at, {i, shapeOf(quad)});
    }
}

bool endMapEdit() {
    if (!editOpen) return false;
    editOpen = false;
    Entry entry = std::move(openEdit);
    openEdit = Entry{};
    bool changed = false;
    for (const PlacedShape& placed : entry.put) {
        if (placed.position >= getQuadCount()) return false;  // the list changed under the edit
        changed = changed || !sameCornersAndTag(placed.shape, getQuad(placed.position));
    }
    if (!changed) return false;
    for (const PlacedShape& placed : entry.put) entry.take.push_back(placed.position);
    pushUndo(std::move(entry));
    return true;
}

bool mapEditOpen() { return editOpen; }

bool undoMapEdit(std::string* label) { return travel(undoList, redoList, label); }
bool redoMapEdit(std::string* label) { return travel(redoList, undoList, label); }
size_t undoLevels() { return undoList.size(); }
size_t redoLevels() { return redoList.size(); }

void clearMapHistory() { history = History(); }
