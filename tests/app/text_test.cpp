// Formatting of on-screen text.
#include <gtest/gtest.h>

#include <string>

#include "app/text.h"

TEST(Text, LongResultsAreCutTo255Characters) {
    const std::string long300(300, 'x');
    const std::string shown = formatText("%s", long300.c_str());
    EXPECT_EQ(shown, std::string(255, 'x'));
}

TEST(Text, FormatsLikePrintfAndHandlesEmptyText) {
    EXPECT_EQ(formatText("F:%i \n S:%i", 4321, 100), "F:4321 \n S:100");
    EXPECT_EQ(formatText("%s", ""), "");
}
