// script_handles.h: what the game API's files share: handles to actors, and the checks every
// spawn and move makes. Every function may raise a Lua error.
#pragma once
#include <lua.hpp>

#include <cstddef>
#include <cstdint>

class Actor;
class b2Body;

constexpr double kMaxCoordinate = 1000000.0;  // world units; beyond it the physics breaks down
constexpr double kMinSize = 0.1;              // a scripted body's smallest width, height or radius
constexpr double kMaxSize = 10000.0;          // and its largest
constexpr double kStepSeconds = 0.01;
constexpr int32_t kMaxFrame = 4096;

// A finite number within limit of zero, or an error naming the argument.
float checkCoordinate(lua_State* L, int index, double limit = kMaxCoordinate);
float optCoordinate(lua_State* L, int index, double fallback);
// An error when a body of half-size (hw, hh) at (x, y) would be too crowded, or when the game
// holds too many actors.
void checkCrowding(lua_State* L, float x, float y, float hw, float hh);
void checkRoom(lua_State* L);

int pushHandle(lua_State* L, const Actor& actor);
// The actor of the handle at index, or an error naming what was removed.
Actor& liveActor(lua_State* L, int index = 1);
// The actor's body, or nullptr for one without (a rocket, a lamp).
b2Body* bodyOf(Actor& actor);
// The live body of the handle at index, or an error naming the call for one without a body.
b2Body& liveBody(lua_State* L, int index, const char* call);

// Registering the rest of the game table (on top of the stack).
void openBodyApi(lua_State* L);   // game.body, game.chain and the body methods of handles
void openQueryApi(lua_State* L);  // game.raycast, raycast_all, query, at, gravity
void openLevelApi(lua_State* L);  // game.keys, allow, label, held
void openMediaApi(lua_State* L);  // game.sound
// The table of handle methods (on top of the stack) gets the body methods.
void addBodyMethods(lua_State* L);
