// level_sounds.h: the sounds a level's script plays from its own folder, by the order it first
// asked for each: their bytes, checked by the script as it read them, kept until the script goes.
// The mixer decodes them from here; nothing in the simulation reads them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

int32_t levelSoundIndex(const std::string& name);  // -1 when not read yet
int32_t addLevelSound(const std::string& name, const std::vector<uint8_t>& bytes);
// nullptr for an index not held (a sound of a script gone).
const std::vector<uint8_t>* levelSoundBytes(int32_t index);
// Bumped whenever the sounds are let go, so whoever decoded them lets go of theirs too.
uint32_t levelSoundsGeneration();
void resetLevelSounds();
