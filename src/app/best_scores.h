// best_scores.h: the best result of every level played, kept in the user's data folder, so the
// finish card can say whether a run beat it. Less is better unless the level says higher is.
#pragma once
#include <string>

struct BestNote {
    bool hadBest = false;   // the level had been finished before
    double previous = 0;    // its best until now, when it had one
    bool improved = false;  // this score is the new best (also the first finish)
};

// Reads file (one line per level: the score, a tab, the level's folder), notes score for level
// and writes the file again, by a temporary and a rename, when the score is the level's new best
// (the lower one, or the higher with higherIsBetter). A missing or unreadable file counts as no
// best yet; a level whose name holds a line break is never kept. False, with why, when a new best
// could not be written; note says what was found all the same.
bool noteLevelScore(const std::string& file, const std::string& level, double score, bool higherIsBetter,
                    BestNote& note, std::string& why);

// best.txt in the user's data folder ($XDG_DATA_HOME/kelvoran or ~/.local/share/kelvoran).
std::string bestScoresFile();

// The best kept in file for level, into score; false when it has none.
bool readBestScore(const std::string& file, const std::string& level, double& score);
