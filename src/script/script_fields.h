// script_fields.h: reading a call's table of named fields strictly, so a typo is an error that
// names it rather than a default silently taken.
//
// Every function raises a Lua error on a bad field, so no C++ object with a destructor may be
// alive in the caller across a call.
#pragma once
#include <lua.hpp>

// An error naming the first unknown key (in byte order, so the message does not depend on the
// table's layout) and the fields that exist, when the table at index holds a key not in names
// (a list ending with nullptr). call names the function in the message ("game.body").
void checkKnownFields(lua_State* L, int index, const char* call, const char* const* names);

// An error naming call when it was given more than most arguments (a handle's method counts
// the handle): an argument it does not know is a mistake worth naming, not one to ignore.
inline void checkArgumentCount(lua_State* L, int most, const char* call) {
    const int given = lua_gettop(L);
    if (given > most) luaL_error(L, "%s: takes at most %d arguments, %d given", call, most, given);
}

// Whether the table at index has a non-nil field name.
bool hasField(lua_State* L, int index, const char* name);

// The number in field name, fallback when it is nil; an error naming the field when it is not a
// finite number within [low, high].
double numberField(lua_State* L, int index, const char* call, const char* name, double fallback,
                   double low, double high);
// The boolean in field name, fallback when nil; any other type is an error naming the field.
bool booleanField(lua_State* L, int index, const char* call, const char* name, bool fallback);
// The string in field name, fallback when nil; any other type is an error naming the field.
const char* stringField(lua_State* L, int index, const char* call, const char* name,
                        const char* fallback);
