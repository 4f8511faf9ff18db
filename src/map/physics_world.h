// physics_world.h: the one Box2D world, its ground, and the unit boundary to metres and radians.
#pragma once

class b2World;
class b2Body;

constexpr float kUnitsPerMetre = 20.0f;
constexpr float kPi = 3.1415927f;  // the one pi of every degree/radian conversion

inline float toMetres(float units) { return units / kUnitsPerMetre; }
inline float toUnits(float metres) { return metres * kUnitsPerMetre; }

// Makes a new world with gravity (0, 55) and its ground, and makes it current. The previous
// world is returned to the caller, who destroys it once nothing refers to it (may be nullptr).
b2World* createWorld();
b2World* getWorld();
b2Body* getGroundBody();

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
