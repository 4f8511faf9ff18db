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
// The serial of the world the last createWorld handed back, which its caller may still hold while
// it moves bodies out of it; 0 when there was none or the current world was destroyed since.
uint32_t previousWorldSerial();
b2Body* getGroundBody();   // owned by the current world

// A level's own gravity (m/s^2) for the current world, waking every body so all of them feel it;
// a new world (a restart, a map reload) has the written gravity again.
struct b2Vec2;
void setWorldGravity(const b2Vec2& gravity);
// Brings back the written gravity (a level's script going); nothing when it holds already.
void resetWorldGravity();
// Adds the current world's gravity to a state hash when a level changed it; nothing otherwise,
// so sessions that never did keep their hashes.
void hashWorldGravity(StateHasher& h);

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

// Whose a fixture is, kept in its user data so a contact or a query names its parties without a
// search: a map quad's fixture holds its list position plus one (kept by the quad index), an
// actor's fixture this tag with the actor's id, anything else (the ground) 0.
constexpr uintptr_t kActorFixtureTag = uintptr_t(1) << 62;
// Marks every fixture of body as the actor id's.
void markActorFixtures(b2Body* body, int32_t actorId);
// The actor id a fixture belongs to, or -1.
int32_t fixtureActorId(const b2Fixture* fixture);  // the mark's other bits ignored

// A one-way fixture (a static or kinematic platform): bodies pass through it from below and land
// on it from above, decided once as each contact begins and kept for as long as it lasts.
constexpr uintptr_t kOneWayFixtureTag = uintptr_t(1) << 61;
void setOneWayFixture(b2Fixture* fixture, bool oneWay);

// A listener that hears every world's contact reports beside the impact cues (a level script's
// touches); nullptr for none. Borrowed: it must outlive its use.
class b2ContactListener;
void listenToContacts(b2ContactListener* listener);

// Adds a listener to the goodbyes every world says as it destroys a joint or fixture with its
// body (the grab's joint, the scripts' joints); each hears every goodbye, in the order they were
// added. Adding one twice adds it once. Borrowed: it must outlive every world.
class b2DestructionListener;
void listenToDestruction(b2DestructionListener* listener);

// Adds whether there is a body, and its pose, velocities and sleep state, to a state hash.
void hashBody(StateHasher& h, const b2Body* body);
// Adds whether there is a fixture, its body's pose, friction, restitution and polygon corners.
void hashFixture(StateHasher& h, const b2Fixture* fixture);
