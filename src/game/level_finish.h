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
    bool higherIsBetter = false;  // a height, a count of points: the best is the highest
};

// Records the finish unless the level was finished already; false when it was. While it is
// reached the game stands still behind the level's card, until a restart.
bool finishLevel(double score, const std::string& text, int64_t steps, bool higherIsBetter);
const LevelFinish& levelFinish();
void resetLevelFinish();  // as at start-up: not finished
// Adds the finish to a state hash once reached; nothing before, so older sessions keep their
// hashes.
#include "core/state_hasher.h"
void hashLevelFinish(StateHasher& h);
