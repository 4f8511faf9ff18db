// script_finish.h: game.finish, with which a level's script says the level is done.
#pragma once

struct lua_State;

// Adds finish to the game table, which is on top of the stack.
void addFinishFunction(lua_State* L);
