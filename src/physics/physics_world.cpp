// physics_world.cpp: the one Box2D world, its ground, and moving bodies between worlds.
#include "physics/physics_world.h"

#include <algorithm>
#include <cassert>
#include <unordered_set>
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
uint32_t previousSerial = 0;   // of the world createWorld last handed back

// Contacts with a one-way fixture that the other body is passing through. Only asked whether a
// contact is in it, never walked, so its order cannot reach the game.
class OneWayRule {
public:
    void begin(b2Contact* contact) {
        const bool aOneWay = isOneWay(contact->GetFixtureA());
        const bool bOneWay = isOneWay(contact->GetFixtureB());
        if (aOneWay == bOneWay) return;  // neither, or two platforms
        b2Fixture* platform = aOneWay ? contact->GetFixtureA() : contact->GetFixtureB();
        b2Fixture* other = aOneWay ? contact->GetFixtureB() : contact->GetFixtureA();
        b2WorldManifold manifold;
        contact->GetWorldManifold(&manifold);
        // The manifold's normal runs from A to B; turned to run from the platform to the other.
        const b2Vec2 normal = aOneWay ? manifold.normal : -manifold.normal;
        // The platform's own up, screen y running down.
        const b2Rot& turn = platform->GetBody()->GetTransform().q;
        const b2Vec2 up(turn.s, -turn.c);
        const b2Vec2 point = contact->GetManifold()->pointCount > 0 ? manifold.points[0] : other->GetBody()->GetWorldCenter();
        const b2Vec2 relative = other->GetBody()->GetLinearVelocityFromWorldPoint(point) -
                                platform->GetBody()->GetLinearVelocityFromWorldPoint(point);
        constexpr float kFromAbove = 0.7f;   // the normal within about 45 degrees of up
        constexpr float kRising = 0.05f;     // m/s along up: still on its way through
        if (b2Dot(normal, up) < kFromAbove || b2Dot(relative, up) > kRising) passing_.insert(contact);
    }
    void end(b2Contact* contact) { passing_.erase(contact); }
    void preSolve(b2Contact* contact) {
        if (!passing_.empty() && passing_.count(contact) != 0) contact->SetEnabled(false);
    }

private:
    static bool isOneWay(const b2Fixture* fixture) {
        return (const_cast<b2Fixture*>(fixture)->GetUserData().pointer & kOneWayFixtureTag) != 0;
    }
    std::unordered_set<const b2Contact*> passing_;
};
OneWayRule oneWayRule;

// A world has one contact listener; the impact cues and a second listener (a level script's
// touches) both hear every report through this one.
class ContactFanOut final : public b2ContactListener {
public:
    void BeginContact(b2Contact* contact) override {
        oneWayRule.begin(contact);
        impactListener().BeginContact(contact);
        if (second) second->BeginContact(contact);
    }
    void EndContact(b2Contact* contact) override {
        oneWayRule.end(contact);
        impactListener().EndContact(contact);
        if (second) second->EndContact(contact);
    }
    void PreSolve(b2Contact* contact, const b2Manifold* oldManifold) override {
        oneWayRule.preSolve(contact);
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

// A world has one destruction listener; whoever keeps a joint pointer hears through this one.
class DestructionFanOut final : public b2DestructionListener {
public:
    void SayGoodbye(b2Joint* joint) override {
        for (b2DestructionListener* listener : listeners) listener->SayGoodbye(joint);
    }
    void SayGoodbye(b2Fixture* fixture) override {
        for (b2DestructionListener* listener : listeners) listener->SayGoodbye(fixture);
    }
    std::vector<b2DestructionListener*> listeners;
};
DestructionFanOut destructionFanOut;

}  // namespace

void listenToContacts(b2ContactListener* listener) { contactFanOut.second = listener; }

void listenToDestruction(b2DestructionListener* listener) {
    auto& listeners = destructionFanOut.listeners;
    if (std::find(listeners.begin(), listeners.end(), listener) == listeners.end()) listeners.push_back(listener);
}

void WorldDeleter::operator()(b2World* world) const { delete world; }

WorldPtr createWorld() {
    WorldPtr previous = std::move(physicsWorld);
    forgetStaticShapeBodies();  // they stay with the previous world
    previousSerial = currentSerial;
    currentSerial = ++lastSerial;
    b2Vec2 gravity(0.0f, kGravityY);
    physicsWorld.reset(new b2World(gravity));
    // Only reads the solver's reports: the world steps exactly as it would without it.
    physicsWorld->SetContactListener(&contactFanOut);
    physicsWorld->SetDestructionListener(&destructionFanOut);

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
    previousSerial = 0;
    forgetStaticShapeBodies();
    physicsWorld.reset();
}

b2World* getWorld() { return physicsWorld.get(); }

uint32_t worldSerial() { return currentSerial; }

uint32_t previousWorldSerial() { return previousSerial; }

void setWorldGravity(const b2Vec2& gravity) {
    b2World* world = getWorld();
    if (!world) return;
    world->SetGravity(gravity);
    for (b2Body* body = world->GetBodyList(); body; body = body->GetNext())
        if (body->GetType() == b2_dynamicBody) body->SetAwake(true);
}

void resetWorldGravity() {
    const b2World* world = getWorld();
    if (!world) return;
    const b2Vec2 written(0.0f, kGravityY);
    if (world->GetGravity() != written) setWorldGravity(written);
}

void hashWorldGravity(StateHasher& h) {
    const b2World* world = getWorld();
    if (!world) return;
    const b2Vec2 gravity = world->GetGravity();
    if (gravity.x == 0.0f && gravity.y == kGravityY) return;
    h.add(static_cast<uint8_t>(0x67));
    h.add(gravity);
}

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

void markActorFixtures(b2Body* body, int32_t actorId) {
    for (b2Fixture* fixture = body->GetFixtureList(); fixture; fixture = fixture->GetNext()) {
        uintptr_t& mark = fixture->GetUserData().pointer;
        mark = (mark & kOneWayFixtureTag) | kActorFixtureTag | static_cast<uint32_t>(actorId);
    }
}

void setOneWayFixture(b2Fixture* fixture, bool oneWay) {
    uintptr_t& mark = fixture->GetUserData().pointer;
    mark = oneWay ? (mark | kOneWayFixtureTag) : (mark & ~kOneWayFixtureTag);
}

int32_t fixtureActorId(const b2Fixture* fixture) {
    // Box2D offers the user data only through a non-const fixture; it is only read here.
    const uintptr_t mark = const_cast<b2Fixture*>(fixture)->GetUserData().pointer;
    if ((mark & kActorFixtureTag) == 0) return -1;
    return static_cast<int32_t>(static_cast<uint32_t>(mark & 0xffffffffu));
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
