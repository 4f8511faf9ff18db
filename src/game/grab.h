// grab.h: the right mouse button's hold on a dynamic body: a springy mouse joint pulls the body
// toward the cursor while the button is down, and letting go keeps the velocity it has. Each
// player of a shared session holds a grab of their own; player 0 plays alone.
#pragma once
#include <cstdint>
#include <string>

#include "core/state_hasher.h"
#include "core/vec2.h"

// Grabs the dynamic body under point (world units), if any, at that point; static map quads and
// the ground never. A grab already held is let go first. True when something was grabbed.
bool grabBodyAt(Vec2f point, uint8_t player = 0);
// Where the held body is pulled to, world units; nothing when nothing is held.
void moveGrabTarget(Vec2f point, uint8_t player = 0);
// Lets go; the body keeps its velocity, so a quick flick throws it. Nothing when nothing is held.
void releaseGrab(uint8_t player = 0);
void releaseAllGrabs();  // every player's
bool grabHeld(uint8_t player = 0);

// The held grab as drawn: the body's grabbed point and the cursor target, world units.
struct GrabLine {
    Vec2f anchor, target;
};
GrabLine grabLine(uint8_t player = 0);  // only while grabHeld(player)

// Adds the grabs to a state hash while one is held, and nothing otherwise, so states without a
// grab hash as they did before grabbing existed; player 0's as it always was, then the others'.
void hashGrab(StateHasher& h);
// True when every grab is sound: no joint, or one joint in the current world on a live body.
// Otherwise false with what is wrong in why; the logic step asserts it in Debug builds.
bool grabsSound(std::string& why);
