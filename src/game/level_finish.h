// level_finish.h: whether the level being played has been finished, and with what result. A
// level's script says so once the player has done what the level asks; the first time counts
// until the game shuts down. The result is a score where less is better (a time, a count).
#pragma once
#include <cstdint>
#include <string>

struct LevelFinish {
    bool reached = false;
    double score = 0;     // less is better
    std::string text;     // the result as the level shows it ("12.31 s")
    int64_t steps = 0;    // logic steps the level's script had run when it was finished
};

// Records the finish unless the level was finished already; false when it was.
bool finishLevel(double score, const std::string& text, int64_t steps);
const LevelFinish& levelFinish();
void resetLevelFinish();  // as at start-up: not finished
