// vec2.h: the one two-component vector every layer passes around.
#pragma once

// A point or offset in whatever unit the caller names (world units unless said otherwise).
// Two packed floats, so an array of them is a GL vertex array as it stands.
struct Vec2f {
    float x = 0.0f;
    float y = 0.0f;
};
static_assert(sizeof(Vec2f) == 2 * sizeof(float), "Vec2f must pack as (x, y)");
