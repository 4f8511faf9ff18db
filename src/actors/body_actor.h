// body_actor.h: the base of every actor that owns a dynamic physics body.
#pragma once

#include "actors/actor.h"

class b2Body;

// Owns one dynamic box body from construction to destruction, and moves it to a new world on
// a map reload; a physical actor derives from this and never frees its body itself.
class BodyActor : public Actor {
public:
    // A box of half-extents in metres centred on (x, y) world units, density 1, in the current
    // world, which must exist and not be stepping.
    BodyActor(float startX, float startY, float halfWidth, float halfHeight, float friction);
    // Takes over a body already made in the current world (any shape, type or fixtures).
    explicit BodyActor(b2Body* ownBody);
    ~BodyActor() override;  // destroys the body in the world that holds it
    void moveBodyTo(b2World& newWorld) final;
    void hashState(StateHasher& h) const override;  // the common fields, then the body

    b2Body* body = nullptr;  // owned; never null after construction
};
