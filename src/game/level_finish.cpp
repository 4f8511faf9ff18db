// level_finish.cpp: the one finish of the level being played.
#include "game/level_finish.h"

namespace {
LevelFinish finish;  // set by finishLevel, cleared by resetLevelFinish
}

bool finishLevel(double score, const std::string& text, int64_t steps, bool higherIsBetter) {
    if (finish.reached) return false;
    finish = LevelFinish{true, score, text, steps, higherIsBetter};
    return true;
}

void hashLevelFinish(StateHasher& h) {
    if (!finish.reached) return;
    h.add(static_cast<uint8_t>(0xf1));
    h.add(finish.score);
    h.add(finish.steps);
    h.add(finish.higherIsBetter);
}

const LevelFinish& levelFinish() { return finish; }

void resetLevelFinish() { finish = LevelFinish(); }
