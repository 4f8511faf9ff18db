// picker_grid_test.cpp: the level picker's grid in the game's 1024 x 600 window.
#include <gtest/gtest.h>

#include "app/picker_grid.h"

TEST(PickerGrid, NineCardsInTheGamesWindowScrollToTheSelection) {
    PickerGrid grid = layoutPickerGrid(9, 1024, 600, 0, 0);
    EXPECT_EQ(grid.columns, 3);
    EXPECT_EQ(grid.visibleRows, 2);
    EXPECT_EQ(grid.left, (1024 - 3 * kPickerCardWidth - 2 * kPickerGap) / 2);
    EXPECT_EQ(grid.firstRow, 0);
    grid = layoutPickerGrid(9, 1024, 600, 8, grid.firstRow);  // the last card: one row down
    EXPECT_EQ(grid.firstRow, 1);
    int32_t x = 0, y = 0;
    pickerCardCorner(grid, 8, x, y);
    EXPECT_EQ(y, kPickerTop + kPickerCardHeight + kPickerGap);
    EXPECT_EQ(pickerCardAt(grid, 9, x + 1, y + 1), 8);
    EXPECT_EQ(pickerCardAt(grid, 9, x - 1, y + 1), -1);  // the gap between two cards
    EXPECT_EQ(layoutPickerGrid(9, 1024, 600, 0, grid.firstRow).firstRow, 0);
    // A window narrower than one card still shows one column.
    EXPECT_EQ(layoutPickerGrid(9, 100, 100, 0, 0).columns, 1);
}

TEST(PickerGrid, MovesStayInsideTheCards) {
    const PickerGrid grid = layoutPickerGrid(8, 1024, 600, 0, 0);  // rows of 3, 3 and 2
    EXPECT_EQ(movePickerSelection(0, PickerMove::Left, 8, grid), 0);
    EXPECT_EQ(movePickerSelection(2, PickerMove::Right, 8, grid), 3);  // on along the reading order
    EXPECT_EQ(movePickerSelection(1, PickerMove::Up, 8, grid), 1);
    EXPECT_EQ(movePickerSelection(5, PickerMove::Down, 8, grid), 7);  // onto the shorter last row
    EXPECT_EQ(movePickerSelection(7, PickerMove::Down, 8, grid), 7);
    EXPECT_EQ(movePickerSelection(7, PickerMove::Up, 8, grid), 4);
    EXPECT_EQ(movePickerSelection(3, PickerMove::Last, 8, grid), 7);
    EXPECT_EQ(movePickerSelection(0, PickerMove::Down, 0, grid), -1);
}
