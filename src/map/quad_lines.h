// quad_lines.h: the selected quads as a level maker copies them into a script: Lua table lines
// of their corners, and the centre and size of what is selected.
#pragma once
#include <string>
#include <vector>

#include "core/vec2.h"

// One line per selected quad, in list order: "{x1, y1, x2, y2, x3, y3, x4, y4},", each number
// as coordinateText writes it. Empty when nothing is selected.
std::vector<std::string> selectedQuadsAsLua();

// The box around every selected quad's corners: its centre and size, world units. False when
// nothing is selected.
bool selectionBox(Vec2f& centre, Vec2f& size);

// A coordinate as the editor shows and prints it: fixed notation with the fewest decimals that
// read back as the same float ("30", "-12.5", "0.1", never "-0").
std::string coordinateText(float value);
