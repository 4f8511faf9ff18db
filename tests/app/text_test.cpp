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

// Every line fits, breaks fall on spaces where a line has one, nothing is lost but what the
// ellipsis stands for, and the lines are never more than asked.
TEST(Text, WrappedLinesFitAndKeepTheWordsInOrder) {
    const std::string words = "Two seconds in: the gate opens when a crate lands on the plate, "
                              "and a_very_long_name_without_any_space_in_it_at_all stays whole";
    for (size_t width : {4u, 9u, 20u, 37u, 112u}) {
        for (size_t maxLines : {1u, 3u, 50u}) {
            const auto lines = wrapText(words, width, maxLines);
            ASSERT_FALSE(lines.empty());
            EXPECT_LE(lines.size(), maxLines);
            std::string joined;
            for (const std::string& line : lines) {
                EXPECT_LE(line.size(), width) << line;
                EXPECT_NE(line.front(), ' ') << line;
                joined += line;
            }
            std::string letters;
            for (char c : words)
                if (c != ' ') letters += c;
            std::string kept;
            for (char c : joined)
                if (c != ' ') kept += c;
            const bool cut = kept.size() >= 3 && kept.compare(kept.size() - 3, 3, "...") == 0 &&
                             letters.compare(0, kept.size() - 3, kept, 0, kept.size() - 3) == 0;
            EXPECT_TRUE(kept == letters || cut) << width << " " << maxLines << ": " << joined;
            EXPECT_EQ(cut, letters.size() > kept.size() - (cut ? 3 : 0)) << joined;
        }
    }
    EXPECT_EQ(wrapText("short", 112, 3), std::vector<std::string>{"short"});
    EXPECT_EQ(wrapText("one two three", 7, 3), (std::vector<std::string>{"one two", "three"}));
    EXPECT_EQ(wrapText("one two three", 7, 1), std::vector<std::string>{"one ..."});
}
