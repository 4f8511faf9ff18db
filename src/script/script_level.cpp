// script_level.cpp: what a level shows and asks of the player: its keys in the help panel, lasting
// labels, which of the player's tools it allows, and whether a key is held.
//
// Lua unwinds errors with longjmp: records are filled in module state, never in locals with a
// destructor, and handed over only once every field has been read.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/keyboard.h"
#include "game/key_table.h"
#include "game/level_presentation.h"
#include "map/map_editor.h"
#include "script/script_fields.h"
#include "script/script_handles.h"

namespace {
constexpr size_t kMaxKeys = 40;
constexpr size_t kMaxLabels = 200;
constexpr size_t kMaxLabelLength = 400;
constexpr size_t kMaxTextLength = 120;

std::vector<LevelKey> keys;
LevelLabel label;

// The text at index, an error beyond limit bytes.
const char* checkText(lua_State* L, int index, size_t limit, const char* call) {
    size_t length = 0;
    const char* text = luaL_checklstring(L, index, &length);
    if (length > limit) luaL_error(L, "%s: text longer than %d bytes", call, static_cast<int>(limit));
    return text;
}

// game.keys{x = "drop a weight", left = "steer"}: the level's keys, for the help panel.
int declareKeys(lua_State* L) {
    checkArgumentCount(L, 1, "game.keys");
    constexpr const char* call = "game.keys";
    luaL_checktype(L, 1, LUA_TTABLE);
    keys.clear();
    lua_pushnil(L);
    while (lua_next(L, 1) != 0) {
        if (lua_type(L, -2) != LUA_TSTRING) luaL_error(L, "%s: keys are named with strings", call);
        const char* name = lua_tostring(L, -2);
        if (!knownKeyName(name)) luaL_error(L, "%s: no key is named '%s'", call, name);
        if (lua_type(L, -1) != LUA_TSTRING) luaL_error(L, "%s: what key '%s' does must be a string", call, name);
        if (keys.size() >= kMaxKeys) luaL_error(L, "%s: more than %d keys", call, static_cast<int>(kMaxKeys));
        size_t length = 0;
        const char* what = lua_tolstring(L, -1, &length);
        if (length > kMaxTextLength) luaL_error(L, "%s: text longer than %d bytes", call, static_cast<int>(kMaxTextLength));
        keys.push_back(LevelKey{name, what});
        lua_pop(L, 1);
    }
    setLevelKeys(keys);
    keys.clear();
    return 0;
}

const char* const kAllowFields[] = {"grab", "spawn", "editor", "cars", nullptr};

// game.allow{grab = false, ...}: the player's tools this level keeps; unnamed ones are allowed.
int allow(lua_State* L) {
    checkArgumentCount(L, 1, "game.allow");
    constexpr const char* call = "game.allow";
    checkKnownFields(L, 1, call, kAllowFields);
    LevelAllows allows;
    allows.grab = booleanField(L, 1, call, "grab", true);
    allows.spawn = booleanField(L, 1, call, "spawn", true);
    allows.editor = booleanField(L, 1, call, "editor", true);
    allows.cars = booleanField(L, 1, call, "cars", true);
    setLevelAllows(allows);
    if (!allows.editor && editorEnabled()) setEditorEnabled(false);
    return 0;
}

const char* const kLabelFields[] = {"x", "y", "world", "size", "color", nullptr};

uint32_t colorField(lua_State* L, int index, const char* call) {
    if (lua_getfield(L, index, "color") == LUA_TNIL) {
        lua_pop(L, 1);
        return 0xffffffffu;
    }
    if (!lua_istable(L, -1)) luaL_error(L, "%s: field 'color' must be a list {r, g, b [, a]} of 0 to 1", call);
    uint32_t rgba = 0;
    for (int i = 1; i <= 4; ++i) {
        lua_geti(L, -1, i);
        int ok = 0;
        const double channel = lua_isnil(L, -1) && i == 4 ? 1.0 : lua_tonumberx(L, -1, &ok);
        if ((!ok && !(lua_isnil(L, -1) && i == 4)) || !(channel >= 0.0 && channel <= 1.0))
            luaL_error(L, "%s: field 'color' must be a list {r, g, b [, a]} of 0 to 1", call);
        rgba = (rgba << 8) | static_cast<uint32_t>(std::lround(channel * 255.0));
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return rgba;
}

// game.label(id, text {, x =, y =, world =, size =, color =}); game.label(id, nil) removes it.
int setLabel(lua_State* L) {
    checkArgumentCount(L, 3, "game.label");
    constexpr const char* call = "game.label";
    const char* id = checkText(L, 1, kMaxTextLength, call);
    if (lua_isnoneornil(L, 2)) {
        removeLevelLabel(id);
        return 0;
    }
    const char* text = checkText(L, 2, kMaxLabelLength, call);
    if (!lua_isnoneornil(L, 3)) checkKnownFields(L, 3, call, kLabelFields);
    const bool options = lua_istable(L, 3);
    label = LevelLabel();
    label.id = id;
    label.text = text;
    if (options) {
        label.world = booleanField(L, 3, call, "world", false);
        const double limit = label.world ? kMaxCoordinate : 100000.0;
        label.x = static_cast<float>(numberField(L, 3, call, "x", 16.0, -limit, limit));
        label.y = static_cast<float>(numberField(L, 3, call, "y", 16.0, -limit, limit));
        label.size = static_cast<float>(numberField(L, 3, call, "size", 18.0, 4.0, 200.0));
        label.rgba = colorField(L, 3, call);
    } else {
        label.x = label.y = 16.0f;
    }
    bool replacing = false;
    for (const LevelLabel& held : levelLabels()) replacing = replacing || held.id == label.id;
    if (!replacing && levelLabels().size() >= kMaxLabels)
        luaL_error(L, "%s: more than %d labels", call, static_cast<int>(kMaxLabels));
    setLevelLabel(label);
    label = LevelLabel();
    return 0;
}

// game.held(key): whether a character key is down now.
int held(lua_State* L) {
    checkArgumentCount(L, 1, "game.held");
    const char* name = luaL_checkstring(L, 1);
    const int code = keyCodeOf(name);
    lua_pushboolean(L, code >= 0 && isKeyDown(code));
    return 1;
}

const luaL_Reg kLevelFunctions[] = {
    {"keys", declareKeys}, {"allow", allow}, {"label", setLabel}, {"held", held}, {nullptr, nullptr},
};
}  // namespace

void openLevelApi(lua_State* L) { luaL_setfuncs(L, kLevelFunctions, 0); }
