// picker_grid.h: where the level picker's cards sit in the window and how the selection moves
// among them. No GL: the picker draws what this lays out, and the tests check it alone.
#pragma once
#include <cstdint>

// Card sizes and spacing in pixels. A thumbnail is 256 x 150; the card adds the text under it.
constexpr int32_t kPickerCardWidth = 272;
constexpr int32_t kPickerCardHeight = 240;
constexpr int32_t kPickerGap = 20;
constexpr int32_t kPickerTop = 56;     // room for the heading
constexpr int32_t kPickerBottom = 32;  // room for the line of keys: two rows fit in 600 pixels

struct PickerGrid {
    int32_t columns = 1;      // cards in a row, at least one however narrow the window
    int32_t visibleRows = 1;  // rows that fit between the heading and the key line, at least one
    int32_t left = 0;         // x of the first column, centring the rows in the window
    int32_t firstRow = 0;     // the row drawn at the top: scrolled so the selection shows
};

enum class PickerMove { Left, Right, Up, Down, First, Last, PageUp, PageDown };

// The grid for count cards in a window of width x height pixels, scrolled so that row
// firstRowBefore stays on top unless selected would then be out of sight.
PickerGrid layoutPickerGrid(int32_t count, int32_t width, int32_t height, int32_t selected,
                            int32_t firstRowBefore);

// Top-left corner of card index as drawn (it may lie outside the window when scrolled away).
void pickerCardCorner(const PickerGrid& grid, int32_t index, int32_t& x, int32_t& y);

// The card under the window point (x, y), or -1 for none.
int32_t pickerCardAt(const PickerGrid& grid, int32_t count, int32_t x, int32_t y);

// The selection after move: left and right run along the reading order, up and down keep the
// column and stop at the first and last rows (down onto a shorter last row lands on its end).
// -1 when there are no cards.
int32_t movePickerSelection(int32_t selected, PickerMove move, int32_t count, const PickerGrid& grid);
