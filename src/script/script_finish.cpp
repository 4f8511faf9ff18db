// script_finish.cpp: game.finish(score [, text]): the level is finished with score (less is
// better: a time, a count of moves); text is the result as the level shows it, by default the
// score. Only the first finish counts; it returns whether this one did.
#include "script/script_finish.h"

#include <lua.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "game/level_finish.h"
#include "script/script_fields.h"
#include "script/script_runtime.h"

namespace {
const char* const kFinishFields[] = {"text", "score", "higher", nullptr};

// game.finish{text =, score =, higher = false}: the same, with a higher score the better one
// when higher is true.
int finishWithFields(lua_State* L) {
    constexpr const char* call = "game.finish";
    checkKnownFields(L, 1, call, kFinishFields);
    const double score = numberField(L, 1, call, "score", 0.0, -1e15, 1e15);
    const bool higher = booleanField(L, 1, call, "higher", false);
    const char* text = stringField(L, 1, call, "text", nullptr);
    if (text && std::strlen(text) > 80) luaL_error(L, "%s: the text may be at most 80 bytes", call);
    char number[32];
    std::snprintf(number, sizeof number, "%g", score);
    lua_pushboolean(L, finishLevel(score, text ? text : number, scriptSteps(), higher));
    return 1;
}

int finish(lua_State* L) {
    if (lua_istable(L, 1)) return finishWithFields(L);
    const lua_Number score = luaL_checknumber(L, 1);
    luaL_argcheck(L, std::isfinite(score), 1, "the score must be a finite number");
    size_t length = 0;
    const char* text = lua_isnoneornil(L, 2) ? nullptr : luaL_checklstring(L, 2, &length);
    luaL_argcheck(L, length <= 80, 2, "the text may be at most 80 bytes");
    const std::string shown = text ? std::string(text, length) : std::string(lua_tostring(L, 1));
    lua_pushboolean(L, finishLevel(score, shown, scriptSteps(), false));
    return 1;
}
}  // namespace

void addFinishFunction(lua_State* L) {
    lua_pushcfunction(L, finish);
    lua_setfield(L, -2, "finish");
}
