// level_finish.cpp: the one finish of the level being played.
#include "game/level_finish.h"

namespace {
LevelFinish finish;  // set by finishLevel, cleared by resetLevelFinish
}

bool finishLevel(double score, const std::string& text, int64_t steps) {
    if (finish.reached) return false;
    finish = LevelFinish{true, score, text, steps};
    return true;
}

const LevelFinish& levelFinish() { return finish; }

void resetLevelFinish() { finish = LevelFinish(); }
