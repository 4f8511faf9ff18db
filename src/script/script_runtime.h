// script_runtime.h: what the game API functions need of the runtime that owns the state.
#pragma once
#include <cstdint>

struct lua_State;

int64_t scriptSteps();  // logic steps since the script was loaded
// Calls the function on top of the stack (popped) once the step count reaches dueStep.
void addScriptTimer(lua_State* L, int64_t dueStep);
// Registers the game table and the handle type in a fresh state.
void openGameApi(lua_State* L);
// Pushes a handle to the live actor with id and returns true, or pushes nothing.
bool pushActorHandle(lua_State* L, int32_t id);

class Actor;
// The actor id of the body handle at index; -1 for nil (the world itself) when nilIsWorld. An
// error naming call for anything else: not a handle, a removed actor, an actor without a body.
int32_t checkBodyHandle(lua_State* L, int index, bool nilIsWorld, const char* call);
// Pushes one party of a touch or a query: a handle to the live actor id, or the map quad's
// 1-based number when quad; false (nothing pushed) for an actor gone.
bool pushParty(lua_State* L, bool quad, int32_t id);
