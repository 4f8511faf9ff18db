// quad_lines_test.cpp: the selected quads as Lua lines and their box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "map/map_editor.h"
#include "map/map_quad.h"
#include "map/quad_lines.h"
#include "physics/physics_world.h"
#include "render/texture.h"
#include "support/gl_window.h"

TEST(QuadLines, SelectedQuadsPrintAsLuaLinesInListOrderWithTheirBox) {
    captureStdout([] { loadAllTextures(loadNoImage); });
    createWorld();
    Vec2f centre, size;
    EXPECT_TRUE(selectedQuadsAsLua().empty());
    EXPECT_FALSE(selectionBox(centre, size));
    createQuad(30, 30, 70, 30, 70, 70, 30, 70);
    createQuad(-200, 100.5f, 200, 100.5f, 200, 140, -200, 140);
    createQuad(500, 0, 540, 0, 540, 40, 500, 40);  // never selected
    editorMouseDown({50, 50});
    EXPECT_EQ(selectedQuadsAsLua(), std::vector<std::string>{"{30, 30, 70, 30, 70, 70, 30, 70},"});
    editorShiftPress({0, 120});  // adds the long quad
    EXPECT_EQ(selectedQuadsAsLua(), (std::vector<std::string>{"{30, 30, 70, 30, 70, 70, 30, 70},",
                                                            "{-200, 100.5, 200, 100.5, 200, 140, -200, 140},"}));
    ASSERT_TRUE(selectionBox(centre, size));
    EXPECT_EQ(centre.x, 0.0f);
    EXPECT_EQ(centre.y, 85.0f);
    EXPECT_EQ(size.x, 400.0f);
    EXPECT_EQ(size.y, 110.0f);
}

TEST(QuadLines, CoordinatesReadBackExactlyInFixedNotation) {
    EXPECT_EQ(coordinateText(-100.0f), "-100");
    EXPECT_EQ(coordinateText(-0.0f), "0");
    EXPECT_EQ(coordinateText(0.1f), "0.1");
    EXPECT_EQ(coordinateText(12.375f), "12.375");
    EXPECT_EQ(std::stof(coordinateText(1.0f / 3.0f)), 1.0f / 3.0f);
}
