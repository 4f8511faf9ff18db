// best_scores_test.cpp: the per-level best kept across runs.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/best_scores.h"
#include "support/gl_window.h"

namespace {

// The note of one finish; a file that cannot be written fails the test.
BestNote noted(const std::string& file, const std::string& level, double score, bool higherIsBetter = false) {
    BestNote note;
    std::string why;
    EXPECT_TRUE(noteLevelScore(file, level, score, higherIsBetter, note, why)) << why;
    return note;
}

}  // namespace

TEST(BestScores, ALevelKeepsItsLowestScoreAndOtherLevelsTheirOwn) {
    const std::string folder = enterTempFolder("kelvoran-best");
    const std::string file = folder + "/data/best.txt";
    BestNote note = noted(file, "/levels/flag", 12.5);
    EXPECT_FALSE(note.hadBest);
    EXPECT_TRUE(note.improved);
    note = noted(file, "/levels/flag", 13.0);  // worse: kept as it was
    EXPECT_TRUE(note.hadBest);
    EXPECT_FALSE(note.improved);
    EXPECT_EQ(note.previous, 12.5);
    note = noted(file, "/levels/other level", 40.0);
    EXPECT_FALSE(note.hadBest);
    note = noted(file, "/levels/flag", 11.25);
    EXPECT_TRUE(note.improved);
    EXPECT_EQ(note.previous, 12.5);
    EXPECT_TRUE(noted(file, "/levels/height", 3.0, true).improved);
    EXPECT_FALSE(noted(file, "/levels/height", 2.0, true).improved);
    EXPECT_TRUE(noted(file, "/levels/height", 5.0, true).improved);
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "11.25\t/levels/flag\n40\t/levels/other level\n5\t/levels/height\n");
    leaveTempFolder(folder);
}
