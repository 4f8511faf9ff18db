// script_media.cpp: a level's own sounds: game.sound plays one of the game's sounds or a file
// from the level's folder, read through the host (and so recorded), checked by decoding it as the
// mixer will, and refused with the file's name when it cannot be played.
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/sound_cues.h"
#include "core/sound_file.h"
#include "game/host.h"
#include "game/level_sounds.h"
#include "script/script_fields.h"
#include "script/script_handles.h"

namespace {
struct OwnName {
    const char* name;
    OwnSound sound;
};
constexpr OwnName kOwnSounds[] = {
    {"impact", OwnSound::Impact}, {"thud", OwnSound::Thud}, {"burst", OwnSound::Burst}, {"rocket", OwnSound::Rocket}};

// Module state, never locals: an error unwinds the call without destructors.
std::string fileName;
std::vector<uint8_t> fileBytes;
std::string fileProblem;
SoundData decoded;

bool endsWith(const std::string& text, const char* suffix) {
    const size_t n = std::strlen(suffix);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
    return true;
}

// The level sound's index, read and checked the first time; an error naming the file otherwise.
int32_t levelSound(lua_State* L) {
    int32_t index = levelSoundIndex(fileName);
    if (index >= 0) return index;
    bool ok = host().readLevelFile && host().readLevelFile(fileName, fileBytes, fileProblem);
    if (ok) ok = decodeSound(fileBytes.data(), fileBytes.size(), SoundLimits(), decoded, fileProblem);
    decoded = SoundData();
    if (!ok) {
        fileBytes.clear();
        return luaL_error(L, "game.sound: %s: %s", fileName.c_str(), fileProblem.c_str());
    }
    index = addLevelSound(fileName, fileBytes);
    fileBytes.clear();
    return index;
}

// game.sound(name [, x, y [, volume]]): heard from (x, y) as the game's own sounds are, or from
// the middle of the view without a place.
int playSound(lua_State* L) {
    checkArgumentCount(L, 4, "game.sound");
    size_t length = 0;
    const char* name = luaL_checklstring(L, 1, &length);
    luaL_argcheck(L, length > 0 && length <= 255, 1, "a sound's name expected");
    SoundCue cue;
    cue.kind = SoundCueKind::Named;
    cue.placed = !lua_isnoneornil(L, 2);
    if (cue.placed) {
        cue.x = checkCoordinate(L, 2);
        cue.y = checkCoordinate(L, 3);
    }
    const double volume = luaL_optnumber(L, 4, 1.0);
    luaL_argcheck(L, volume >= 0.0 && volume <= 1.0, 4, "a volume from 0 to 1 expected");
    cue.gain = static_cast<float>(volume);
    bool own = false;
    for (const OwnName& sound : kOwnSounds) {
        if (std::strcmp(name, sound.name) == 0) {
            cue.sound = static_cast<int32_t>(sound.sound);
            own = true;
        }
    }
    if (!own) {
        fileName.assign(name, length);
        if (!endsWith(fileName, ".wav") && !endsWith(fileName, ".ogg") && !endsWith(fileName, ".flac"))
            return luaL_error(L, "game.sound: no sound named '%s' (the game's are impact, thud, burst and "
                                 "rocket; a level's own is a .wav, .ogg or .flac file beside map.lua)", name);
        cue.sound = levelSound(L);
    }
    cueSound(cue);
    return 0;
}

const luaL_Reg kMediaFunctions[] = {{"sound", playSound}, {nullptr, nullptr}};
}  // namespace

void openMediaApi(lua_State* L) { luaL_setfuncs(L, kMediaFunctions, 0); }
