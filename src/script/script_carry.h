// script_carry.h: a plain table (numbers, strings, booleans and nested tables of them) carried
// from one run of a script to the next across a hot reload, as bytes that do not depend on
// either state's layout.
#pragma once
#include <lua.hpp>

#include <string>

// The value at index as bytes, keys in a fixed order (numbers ascending, then strings by their
// bytes). False with the reason when it is not a plain table, nests deeper than 32, holds a
// table twice or grows past 1 MiB. May raise a memory error: call it protected, with bytes in
// module state.
bool encodeCarry(lua_State* L, int index, std::string& bytes, const char*& why);
// Pushes the table the bytes hold (bytes encodeCarry made).
void pushCarry(lua_State* L, const std::string& bytes);
