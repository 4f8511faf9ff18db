// body_actor.cpp: creating, destroying and moving an actor's body.
#include "actors/body_actor.h"

#include <box2d/box2d.h>

#include <cassert>

#include "physics/physics_world.h"

BodyActor::BodyActor(float startX, float startY, float halfWidth, float halfHeight,
                     float friction) {
    x = startX;
    y = startY;
    body = createDynamicBox(x, y, angle, halfWidth, halfHeight, friction);
    markActorFixtures(body, id);
}

BodyActor::BodyActor(b2Body* ownBody) : body(ownBody) {
    x = toUnits(body->GetPosition().x);
    y = toUnits(body->GetPosition().y);
    markActorFixtures(body, id);
}

BodyActor::~BodyActor() {
    // Destroyed in the world that holds it, which is the current one unless a reload replaced
    // the world without moving the body.
    b2World* world = body->GetWorld();
    assert(!world->IsLocked() && "a body must not die inside the physics step");
    world->DestroyBody(body);
    body = nullptr;
}

void BodyActor::moveBodyTo(b2World& newWorld) { body = transferBody(body, newWorld); }

void BodyActor::hashState(StateHasher& h) const {
    hashCommonFields(h);
    hashBody(h, body);
}
