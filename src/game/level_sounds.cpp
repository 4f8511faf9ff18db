// level_sounds.cpp: the level's own sounds.
#include "game/level_sounds.h"

namespace {
struct LevelSound {
    std::string name;
    std::vector<uint8_t> bytes;
};
struct LevelSounds {
    std::vector<LevelSound> sounds;
    uint32_t generation = 0;
};
LevelSounds held;
}  // namespace

int32_t levelSoundIndex(const std::string& name) {
    for (size_t i = 0; i < held.sounds.size(); ++i)
        if (held.sounds[i].name == name) return static_cast<int32_t>(i);
    return -1;
}

int32_t addLevelSound(const std::string& name, const std::vector<uint8_t>& bytes) {
    held.sounds.push_back(LevelSound{name, bytes});
    return static_cast<int32_t>(held.sounds.size() - 1);
}

const std::vector<uint8_t>* levelSoundBytes(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= held.sounds.size()) return nullptr;
    return &held.sounds[static_cast<size_t>(index)].bytes;
}

uint32_t levelSoundsGeneration() { return held.generation; }

void resetLevelSounds() {
    const uint32_t generation = held.generation + 1;
    held = LevelSounds();
    held.generation = generation;
}
