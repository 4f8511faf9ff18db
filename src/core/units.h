// units.h: the one boundary between world units and degrees (the game's) and metres and radians
// (the physics library's), and the one pi every conversion uses.
#pragma once
#include <cmath>
#include <cstdint>
#include <limits>

constexpr float kUnitsPerMetre = 20.0f;  // world units in one physics metre
constexpr float kPi = 3.1415927f;        // single precision; every degree/radian conversion uses it
constexpr double kPiDouble = static_cast<double>(kPi);  // the same value, for double formulas

// World units to metres and back.
inline float toMetres(float units) { return units / kUnitsPerMetre; }
inline float toUnits(float metres) { return metres * kUnitsPerMetre; }

// Degrees to radians and back, in the operand order float results depend on.
inline float toRadians(float degrees) { return degrees * kPi / 180.0f; }
inline double toRadians(double degrees) { return degrees * kPiDouble / 180.0; }
inline float toDegrees(float radians) { return radians * 180.0f / kPi; }

// A float truncated toward zero like static_cast<int32_t>, but defined for every input:
// NaN gives 0 and values beyond the int32 range give its nearest end.
inline int32_t clampToInt32(float value) {
    if (!(value == value)) return 0;
    // 2^31 is exactly representable; every float below it converts without overflow.
    constexpr float kLimit = 2147483648.0f;
    if (value >= kLimit) return std::numeric_limits<int32_t>::max();
    if (value < -kLimit) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
