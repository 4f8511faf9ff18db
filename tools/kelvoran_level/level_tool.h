// level_tool.h: what kelvoran-level does: pack a level folder into one level file, check one,
// verify its solution by replaying it headless, and unpack one into a folder for editing.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "level/level_file.h"

// Each prints its result on out and problems on err, one line each, and returns the exit status:
// 0 done (sound, solved), 1 the level is refused or not solved, 2 a usage or file problem.
int packLevel(const std::string& folder, const std::string& output, std::ostream& out, std::ostream& err);
int checkLevel(const std::string& path, std::ostream& out, std::ostream& err);
int verifyLevel(const std::string& path, std::ostream& out, std::ostream& err);
int unpackLevel(const std::string& path, const std::string& folder, std::ostream& out, std::ostream& err);

struct SolutionCheck {
    int64_t steps = 0;   // the script's steps when the level was finished
    std::string result;  // the level's own words for the result
};
// Replays the level's solution headless against the level's own map and script. True when it
// finishes the level, with how in check; else false with why not in why.
bool checkSolution(const LevelFile& level, SolutionCheck& check, std::string& why);

// A picture of the level after steps logic steps, played headless with no input: the map and
// what the script has spawned by then, drawn around the camera. False, with the reason, when
// it cannot be drawn.
bool drawLevelThumbnail(const std::vector<uint8_t>& map, const std::vector<uint8_t>* script, int64_t steps,
                        std::vector<uint8_t>& png, std::string& problem);
