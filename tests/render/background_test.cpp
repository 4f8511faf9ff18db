// background_test.cpp: the background quad's texture coordinates and placement (no GL).
#include <gtest/gtest.h>

#include "render/background.h"

TEST(BackgroundQuad, DefaultViewRepeatsTwiceAcrossAndCentresOnTheCamera) {
    const BackgroundQuad quad = backgroundQuad({0, 0}, {1024, 600});
    const float texCoords[8] = {0, 0, 2, 0, 2, 1.171875f, 0, 1.171875f};
    const float vertices[8] = {-512, -300, 512, -300, 512, 300, -512, 300};
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(quad.texCoords[i], texCoords[i]) << i;
        EXPECT_FLOAT_EQ(quad.vertices[i], vertices[i]) << i;
    }
}

TEST(BackgroundQuad, MovingTheCameraBy512ShiftsTheCoordinatesByExactlyOne) {
    const BackgroundQuad before = backgroundQuad({37, -80}, {1024, 600});
    const BackgroundQuad after = backgroundQuad({37 + 512, -80}, {1024, 600});
    for (int i = 0; i < 8; i += 2) {
        EXPECT_FLOAT_EQ(after.texCoords[i], before.texCoords[i] + 1) << i;
        EXPECT_FLOAT_EQ(after.texCoords[i + 1], before.texCoords[i + 1]) << i;
        EXPECT_FLOAT_EQ(after.vertices[i], before.vertices[i] + 512) << i;
    }
    EXPECT_FLOAT_EQ(before.texCoords[0], 37.0f / 512.0f);
    EXPECT_FLOAT_EQ(before.texCoords[1], -80.0f / 512.0f);
}
