// script_joints.h: the joint functions of the game table (hinge, spring, rope, slider, weld,
// wheel, pulley, gear) and the joint handles they return.
#pragma once

struct lua_State;

// Adds the joint functions to the table on top of the stack (the game table) and registers the
// joint handle type.
void openJointApi(lua_State* L);
