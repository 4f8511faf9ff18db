// units_test.cpp: the float-to-integer guard every shadow corner goes through.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "core/units.h"

TEST(ClampToInt32, TruncatesLikeACastInsideTheRangeAndPinsOutsideIt) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> inside(-2147483520.0f, 2147483520.0f);
    for (int i = 0; i < 100000; ++i) {
        const float value = inside(random);
        ASSERT_EQ(clampToInt32(value), static_cast<int32_t>(value)) << value;
    }
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(clampToInt32(2147483648.0f), kMax);
    EXPECT_EQ(clampToInt32(1e30f), kMax);
    EXPECT_EQ(clampToInt32(std::numeric_limits<float>::infinity()), kMax);
    EXPECT_EQ(clampToInt32(-2147483648.0f), kMin);
    EXPECT_EQ(clampToInt32(-1e30f), kMin);
    EXPECT_EQ(clampToInt32(-std::numeric_limits<float>::infinity()), kMin);
    EXPECT_EQ(clampToInt32(std::nanf("")), 0);
    EXPECT_EQ(clampToInt32(-0.7f), 0);
}
