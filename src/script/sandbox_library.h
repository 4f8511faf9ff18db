// sandbox_library.h: the library functions whose one call could run unbounded (the pattern
// searches, string.rep, the table shifts and moves, the UTF-8 scans), each charged for its work
// before it starts, or as it runs, against the script's budget.
#pragma once
#include <lua.hpp>

// Replaces those functions in the state's string, table and utf8 libraries and tonumber.
void boundLibraryCalls(lua_State* L);
