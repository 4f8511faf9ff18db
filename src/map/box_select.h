// box_select.h: which quads a rubber band touches, and selecting by band or by Shift+click.
#pragma once
#include <cstdint>

#include "core/vec2.h"

// Whether the convex quad's corners (world units) and the box [low, high] share any point,
// edges and corners included.
bool quadTouchesBox(const Vec2f corners[4], Vec2f low, Vec2f high);
// Selects every quad the box spanned by two opposite corners touches; the others keep their
// selection. Returns how many were not selected before.
int32_t selectQuadsTouching(Vec2f cornerA, Vec2f cornerB);
// The topmost quad (last in list order, drawn over the others) that contains point, or -1.
int32_t topQuadAt(Vec2f point);
