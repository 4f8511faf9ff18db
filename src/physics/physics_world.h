// physics_world.h: the one Box2D world, its ground, and the unit boundary to metres and radians.
#pragma once
#include <cstdint>
#include <memory>

#include "core/state_hasher.h"
#include "core/units.h"

class b2World;
class b2Body;
class b2Fixture;

// Owns a world; deletes it where the physics library's header is known.
struct WorldDeleter {
    void operator()(b2World* world) const;
};
using WorldPtr = std::unique_ptr<b2World, WorldDeleter>;

// Makes a new world with gravity (0, 55) m/s^2 and its ground, and makes it current. The
// previous world (nullptr at first) goes to the caller, who lets it go once no body of an actor
// or quad is still in it.
WorldPtr createWorld();
// Destroys the current world and every body still in it; getWorld is nullptr afterwards.
void destroyWorld();
b2World* getWorld();       // the current world, owned here; nullptr before createWorld
// A number of its own for each world createWorld makes (never 0), 0 when there is none: unlike
// an address, never the same for a later world.
uint32_t worldSerial();
b2Body* getGroundBody();   // owned by the current world

// A dynamic box of density 1 centred on (x, y) world units, turned by angle degrees, with
// half-extents in metres; every other body and fixture setting at Box2D's defaults.
b2Body* createDynamicBox(float x, float y, float angle, float halfWidth, float halfHeight,
                         float friction);

// Recreates body in target with the same type, pose, velocities, sleep state, flags and
// fixtures (shape, density, friction, restitution, filter); the original is left untouched.
// Neither world may be inside Step.
b2Body* cloneBody(b2Body& body, b2World& target);
// Clones body into target, destroys the original in the world that created it, and returns
// the copy. A body already in target (or nullptr) is returned as it is.
b2Body* transferBody(b2Body* body, b2World& target);

// A listener that hears every world's contact reports beside the impact cues (a level script's
// touches); nullptr for none. Borrowed: it must outlive its use.
class b2ContactListener;
void listenToContacts(b2ContactListener* listener);

// Adds whether there is a body, and its pose, velocities and sleep state, to a state hash.
void hashBody(StateHasher& h, const b2Body* body);
// Adds whether there is a fixture, its body's pose, friction, restitution and polygon corners.
void hashFixture(StateHasher& h, const b2Fixture* fixture);
