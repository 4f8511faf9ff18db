// text_layout_test.cpp: UTF-8 decoding and the placement of characters on lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/text_layout.h"

TEST(TextLayout, DecodesUtf8AndReplacesWhatIsNotUtf8) {
    EXPECT_EQ(decodeUtf8("a\xC3\xA9\xE2\x9C\x93\xF0\x9F\x99\x82"),
              (std::vector<uint32_t>{'a', 0xE9, 0x2713, 0x1F642}));
    // A lone continuation byte, a cut sequence, an overlong '/', a surrogate.
    EXPECT_EQ(decodeUtf8("\x80" "b\xE2\x9C" "c\xC0\xAF\xED\xA0\x80"),
              (std::vector<uint32_t>{0xFFFD, 'b', 0xFFFD, 'c', 0xFFFD, 0xFFFD}));
}

TEST(TextLayout, LinesBreakAtNewlinesAndTheWidestLineIsTheWidth) {
    auto advance = [](uint32_t c) { return c == 'W' ? 12.0f : 5.0f; };
    const TextLayout layout = layoutText("WW\nabc\t", 14.0f, 20.0f, advance);
    ASSERT_EQ(layout.glyphs.size(), 5u);  // the tab takes no room
    EXPECT_EQ(layout.glyphs[1].x, 12.0f);
    EXPECT_EQ(layout.glyphs[1].baseline, 14.0f);
    EXPECT_EQ(layout.glyphs[4].x, 10.0f);
    EXPECT_EQ(layout.glyphs[4].baseline, 34.0f);
    EXPECT_EQ(layout.width, 24.0f);
    EXPECT_EQ(layout.height, 40.0f);
    EXPECT_EQ(layoutText("", 14.0f, 20.0f, advance).height, 0.0f);
}
