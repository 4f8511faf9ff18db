// script_finish.cpp: game.finish(score [, text]): the level is finished with score (less is
// better: a time, a count of moves); text is the result as the level shows it, by default the
// score. Only the first finish counts; it returns whether this one did.
#include "script/script_finish.h"

#include <lua.hpp>

#include <cmath>

#include "game/level_finish.h"
#include "script/script_runtime.h"

namespace {
int finish(lua_State* L) {
    const lua_Number score = luaL_checknumber(L, 1);
    luaL_argcheck(L, std::isfinite(score), 1, "the score must be a finite number");
    size_t length = 0;
    const char* text = lua_isnoneornil(L, 2) ? nullptr : luaL_checklstring(L, 2, &length);
    luaL_argcheck(L, length <= 80, 2, "the text may be at most 80 bytes");
    const std::string shown = text ? std::string(text, length) : std::string(lua_tostring(L, 1));
    lua_pushboolean(L, finishLevel(score, shown, scriptSteps()));
    return 1;
}
}  // namespace

void addFinishFunction(lua_State* L) {
    lua_pushcfunction(L, finish);
    lua_setfield(L, -2, "finish");
}
