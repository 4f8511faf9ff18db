// script_fields.cpp: strict reading of named fields.
#include "script/script_fields.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
bool known(const char* key, const char* const* names) {
    for (const char* const* name = names; *name; ++name)
        if (std::strcmp(key, *name) == 0) return true;
    return false;
}

// The field's value on top of the stack; an error naming it when it is neither nil nor of type.
void pushField(lua_State* L, int index, const char* call, const char* name, int type) {
    lua_getfield(L, index, name);
    if (!lua_isnil(L, -1) && lua_type(L, -1) != type)
        luaL_error(L, "%s: field '%s' must be a %s, not a %s", call, name, lua_typename(L, type),
                   luaL_typename(L, -1));
}
}  // namespace

void checkKnownFields(lua_State* L, int index, const char* call, const char* const* names) {
    index = lua_absindex(L, index);
    luaL_checktype(L, index, LUA_TTABLE);
    // The string stays valid while its key is in the table, which this call does not change.
    const char* first = nullptr;
    lua_pushnil(L);
    while (lua_next(L, index) != 0) {
        lua_pop(L, 1);
        if (lua_type(L, -1) != LUA_TSTRING) {
            lua_pop(L, 1);
            luaL_error(L, "%s: fields are named with strings (found a %s key)", call, luaL_typename(L, -1));
        }
        const char* key = lua_tostring(L, -1);
        if (!known(key, names) && (!first || std::strcmp(key, first) < 0)) first = key;
    }
    if (!first) return;
    luaL_Buffer list;
    luaL_buffinit(L, &list);
    for (const char* const* name = names; *name; ++name) {
        if (name != names) luaL_addstring(&list, ", ");
        luaL_addstring(&list, *name);
    }
    luaL_pushresult(&list);
    luaL_error(L, "%s: unknown field '%s' (the fields are %s)", call, first, lua_tostring(L, -1));
}

bool hasField(lua_State* L, int index, const char* name) {
    const bool present = lua_getfield(L, index, name) != LUA_TNIL;
    lua_pop(L, 1);
    return present;
}

double numberField(lua_State* L, int index, const char* call, const char* name, double fallback,
                   double low, double high) {
    pushField(L, index, call, name, LUA_TNUMBER);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return fallback;
    }
    const double value = lua_tonumber(L, -1);
    lua_pop(L, 1);
    if (!std::isfinite(value) || value < low || value > high) {
        char range[64];
        std::snprintf(range, sizeof range, "from %g to %g", low, high);
        luaL_error(L, "%s: field '%s' must be a finite number %s", call, name, range);
    }
    return value;
}

bool booleanField(lua_State* L, int index, const char* call, const char* name, bool fallback) {
    pushField(L, index, call, name, LUA_TBOOLEAN);
    const bool value = lua_isnil(L, -1) ? fallback : lua_toboolean(L, -1) != 0;
    lua_pop(L, 1);
    return value;
}

const char* stringField(lua_State* L, int index, const char* call, const char* name,
                        const char* fallback) {
    pushField(L, index, call, name, LUA_TSTRING);
    // Only a string the table holds is returned, so it outlives the pop.
    const char* value = lua_isnil(L, -1) ? fallback : lua_tostring(L, -1);
    lua_pop(L, 1);
    return value;
}
