// grab.h: the right mouse button's hold on a dynamic body: a springy mouse joint pulls the body
// toward the cursor while the button is down, and letting go keeps the velocity it has.
#pragma once
#include <cstdint>

#include "core/state_hasher.h"
#include "core/vec2.h"

// Grabs the dynamic body under point (world units), if any, at that point; static map quads and
// the ground never. A grab already held is let go first. True when something was grabbed.
bool grabBodyAt(Vec2f point);
// Where the held body is pulled to, world units; nothing when nothing is held.
void moveGrabTarget(Vec2f point);
// Lets go; the body keeps its velocity, so a quick flick throws it. Nothing when nothing is held.
void releaseGrab();
bool grabHeld();

// The held grab as drawn: the body's grabbed point and the cursor target, world units.
struct GrabLine {
    Vec2f anchor, target;
};
GrabLine grabLine();  // only while grabHeld()

// Adds the grab to a state hash while one is held, and nothing otherwise, so states without a
// grab hash as they did before grabbing existed.
void hashGrab(StateHasher& h);
// Empty when the grab is sound: no joint, or one joint in the current world on a live body.
// Otherwise what is wrong; the logic step asserts it in Debug builds.
const char* grabProblem();
