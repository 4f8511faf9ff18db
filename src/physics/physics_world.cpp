// physics_world.cpp: the one Box2D world, its ground, and moving bodies between worlds.
#include "physics/physics_world.h"

#include <cassert>
#include <vector>

#include <box2d/box2d.h>

#include "physics/impact_listener.h"
#include "physics/static_shapes.h"

namespace {

constexpr float kGravityY = 55.0f;  // m/s^2 toward +y, down the screen
// The ground: a 128 m x 4 m box whose top face lies at y = 37 m (740 world units).
constexpr float kGroundX = 32.0f;
constexpr float kGroundY = 39.0f;
constexpr float kGroundHalfWidth = 64.0f;
constexpr float kGroundHalfHeight = 2.0f;

// Never destroyed by the exit-time destructors: actors and quads freed there still destroy their
// bodies in it. Reachable to the end, so a leak checker does not count it.
WorldPtr& physicsWorld = *new WorldPtr();
b2Body* groundBody = nullptr;  // belongs to physicsWorld
uint32_t currentSerial = 0;    // of physicsWorld
uint32_t lastSerial = 0;       // the latest handed out

// A world has one contact listener; the impact cues and a second listener (a level script's
// touches) both hear every report through this one.
class ContactFanOut final : public b2ContactListener {
public:
    void BeginContact(b2Contact* contact) override {
        impactListener().BeginContact(contact);
        if (second) second->BeginContact(contact);
    }
    void EndContact(b2Contact* contact) override {
        impactListener().EndContact(contact);
        if (second) second->EndContact(contact);
    }
    void PreSolve(b2Contact* contact, const b2Manifold* oldManifold) override {
        impactListener().PreSolve(contact, oldManifold);
        if (second) second->PreSolve(contact, oldManifold);
    }
    void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override {
        impactListener().PostSolve(contact, impulse);
        if (second) second->PostSolve(contact, impulse);
    }
    b2ContactListener* second = nullptr;
};
ContactFanOut contactFanOut;

}  // namespace

void listenToContacts(b2ContactListener* listener) { contactFanOut.second = listener; }

void WorldDeleter::operator()(b2World* world) const { delete world; }

WorldPtr createWorld() {
    WorldPtr previous = std::move(physicsWorld);
    forgetStaticShapeBodies();  // they stay with the previous world
    currentSerial = ++lastSerial;
    b2Vec2 gravity(0.0f, kGravityY);
    physicsWorld.reset(new b2World(gravity));
    // Only reads the solver's reports: the world steps exactly as it would without it.
    physicsWorld->SetContactListener(&contactFanOut);

    b2BodyDef groundDef;
    groundDef.position.Set(kGroundX, kGroundY);
    groundBody = physicsWorld->CreateBody(&groundDef);

    b2PolygonShape groundShape;
    groundShape.SetAsBox(kGroundHalfWidth, kGroundHalfHeight);
    groundBody->CreateFixture(&groundShape, 0.0f);
    return previous;
}

void destroyWorld() {
    assert((!physicsWorld || !physicsWorld->IsLocked()) && "the world must not die inside its step");
    groundBody = nullptr;
    currentSerial = 0;
    forgetStaticShapeBodies();
    physicsWorld.reset();
}

b2World* getWorld() { return physicsWorld.get(); }

uint32_t worldSerial() { return currentSerial; }

b2Body* getGroundBody() { return groundBody; }

b2Body* cloneBody(b2Body& body, b2World& target) {
    b2BodyDef def;
    def.type = body.GetType();
    def.position = body.GetPosition();
    def.angle = body.GetAngle();
    def.linearVelocity = body.GetLinearVelocity();
    def.angularVelocity = body.GetAngularVelocity();
    def.linearDamping = body.GetLinearDamping();
    def.angularDamping = body.GetAngularDamping();
    def.allowSleep = body.IsSleepingAllowed();
    def.awake = body.IsAwake();
    def.fixedRotation = body.IsFixedRotation();
    def.bullet = body.IsBullet();
    def.enabled = body.IsEnabled();
    def.userData = body.GetUserData();
    def.gravityScale = body.GetGravityScale();
    b2Body* copy = target.CreateBody(&def);

    // The fixture list runs newest first; recreate oldest first so the copy lists them alike.
    std::vector<b2Fixture*> fixtures;
    for (b2Fixture* fixture = body.GetFixtureList(); fixture; fixture = fixture->GetNext()) {
        fixtures.push_back(fixture);
    }
    for (auto it = fixtures.rbegin(); it != fixtures.rend(); ++it) {
        b2Fixture& fixture = **it;
        b2FixtureDef fixtureDef;
        fixtureDef.shape = fixture.GetShape();
        fixtureDef.userData = fixture.GetUserData();
        fixtureDef.friction = fixture.GetFriction();
        fixtureDef.restitution = fixture.GetRestitution();
        fixtureDef.restitutionThreshold = fixture.GetRestitutionThreshold();
        fixtureDef.density = fixture.GetDensity();
        fixtureDef.isSensor = fixture.IsSensor();
        fixtureDef.filter = fixture.GetFilterData();
        copy->CreateFixture(&fixtureDef);
    }
    // Each fixture moves the centre of mass, and Box2D then shifts the centre's velocity to keep
    // the origin's; put back the original centre velocities. A sleeping body's are zero, so this
    // never wakes it.
    copy->SetLinearVelocity(body.GetLinearVelocity());
    copy->SetAngularVelocity(body.GetAngularVelocity());
    return copy;
}

b2Body* transferBody(b2Body* body, b2World& target) {
    if (!body || body->GetWorld() == &target) {
        return body;
    }
    assert(!target.IsLocked() && !body->GetWorld()->IsLocked() && "bodies move between steps only");
    b2Body* copy = cloneBody(*body, target);
    // Only the world that made a body may destroy it.
    body->GetWorld()->DestroyBody(body);
    return copy;
}

b2Body* createDynamicBox(float x, float y, float angle, float halfWidth, float halfHeight,
                         float friction) {
    b2BodyDef bodyDef;
    bodyDef.type = b2_dynamicBody;
    bodyDef.position.Set(toMetres(x), toMetres(y));
    bodyDef.angle = toRadians(angle);
    b2World* world = getWorld();
    assert(world != nullptr && "a body needs a world");
    assert(!world->IsLocked() && "a body must not be made inside the physics step");
    b2Body* body = world->CreateBody(&bodyDef);

    b2PolygonShape shape;
    shape.SetAsBox(halfWidth, halfHeight);
    b2FixtureDef fixtureDef;
    fixtureDef.shape = &shape;
    fixtureDef.friction = friction;
    fixtureDef.density = 1.0f;
    body->CreateFixture(&fixtureDef);
    return body;
}

void hashBody(StateHasher& h, const b2Body* body) {
    h.add(body != nullptr);
    if (!body) return;
    h.add(body->GetPosition());
    h.add(body->GetAngle());
    h.add(body->GetLinearVelocity());
    h.add(body->GetAngularVelocity());
    h.add(body->IsAwake());
}

void hashFixture(StateHasher& h, const b2Fixture* fixture) {
    h.add(fixture != nullptr);
    if (!fixture) return;
    // A shared static body never moves, so the shape itself is what places the fixture.
    const b2Transform& pose = fixture->GetBody()->GetTransform();
    h.add(pose.p);
    h.add(pose.q.GetAngle());
    h.add(fixture->GetFriction());
    h.add(fixture->GetRestitution());
    if (fixture->GetType() != b2Shape::e_polygon) return;
    const auto* polygon = static_cast<const b2PolygonShape*>(fixture->GetShape());
    h.add(polygon->m_count);
    for (int32_t k = 0; k < polygon->m_count; ++k) h.add(polygon->m_vertices[k]);
}
