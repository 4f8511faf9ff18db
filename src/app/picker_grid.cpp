// picker_grid.cpp: the picker's layout and navigation.
#include "app/picker_grid.h"

#include <algorithm>

namespace {
int32_t rowsFor(int32_t count, int32_t columns) { return (count + columns - 1) / columns; }
}  // namespace

PickerGrid layoutPickerGrid(int32_t count, int32_t width, int32_t height, int32_t selected,
                            int32_t firstRowBefore) {
    PickerGrid grid;
    grid.columns = std::max<int32_t>(1, (width - kPickerGap) / (kPickerCardWidth + kPickerGap));
    const int32_t room = height - kPickerTop - kPickerBottom;
    grid.visibleRows = std::max<int32_t>(1, (room + kPickerGap) / (kPickerCardHeight + kPickerGap));
    const int32_t used = std::min(grid.columns, std::max<int32_t>(count, 1));
    grid.left = std::max<int32_t>(0, (width - used * kPickerCardWidth - (used - 1) * kPickerGap) / 2);
    const int32_t rows = rowsFor(count, grid.columns);
    int32_t first = std::clamp<int32_t>(firstRowBefore, 0, std::max<int32_t>(0, rows - grid.visibleRows));
    if (selected >= 0 && selected < count) {
        const int32_t row = selected / grid.columns;
        if (row < first) first = row;
        if (row >= first + grid.visibleRows) first = row - grid.visibleRows + 1;
    }
    grid.firstRow = first;
    return grid;
}

void pickerCardCorner(const PickerGrid& grid, int32_t index, int32_t& x, int32_t& y) {
    const int32_t row = index / grid.columns - grid.firstRow;
    x = grid.left + (index % grid.columns) * (kPickerCardWidth + kPickerGap);
    y = kPickerTop + row * (kPickerCardHeight + kPickerGap);
}

int32_t pickerCardAt(const PickerGrid& grid, int32_t count, int32_t x, int32_t y) {
    if (x < grid.left || y < kPickerTop) return -1;
    const int32_t column = (x - grid.left) / (kPickerCardWidth + kPickerGap);
    const int32_t row = (y - kPickerTop) / (kPickerCardHeight + kPickerGap);
    if (column >= grid.columns || row >= grid.visibleRows) return -1;
    // The gaps between cards belong to none.
    if ((x - grid.left) % (kPickerCardWidth + kPickerGap) >= kPickerCardWidth) return -1;
    if ((y - kPickerTop) % (kPickerCardHeight + kPickerGap) >= kPickerCardHeight) return -1;
    const int32_t index = (grid.firstRow + row) * grid.columns + column;
    return index < count ? index : -1;
}

int32_t movePickerSelection(int32_t selected, PickerMove move, int32_t count, const PickerGrid& grid) {
    if (count <= 0) return -1;
    const int32_t current = std::clamp<int32_t>(selected, 0, count - 1);
    const int32_t columns = grid.columns;
    const int32_t page = columns * grid.visibleRows;
    switch (move) {
        case PickerMove::Left: return std::max<int32_t>(0, current - 1);
        case PickerMove::Right: return std::min<int32_t>(count - 1, current + 1);
        case PickerMove::Up: return current >= columns ? current - columns : current;
        case PickerMove::Down:
            if (current / columns == (count - 1) / columns) return current;  // on the last row
            return std::min<int32_t>(count - 1, current + columns);
        case PickerMove::First: return 0;
        case PickerMove::Last: return count - 1;
        case PickerMove::PageUp: return current >= page ? current - page : current % columns;
        case PickerMove::PageDown: return std::min<int32_t>(count - 1, current + page);
    }
    return current;
}
