// static_shapes.cpp: which shared static body takes the next map polygon, and how many each holds.
#include "physics/static_shapes.h"

#include <box2d/box2d.h>

#include <cassert>

#include "physics/physics_world.h"

namespace {

struct StaticShapes {
    uint32_t world = 0;  // worldSerial() of the world the bodies below live in; 0 for none
    std::vector<b2Body*> bodies;
    std::vector<int32_t> counts;    // fixtures on bodies[i]
    std::vector<int32_t> withRoom;  // bodies below the cap, the most recently freed last
};
StaticShapes shapes;

// The body's place in shapes.bodies, kept in its user data.
int32_t slotOf(b2Body* body) {
    return static_cast<int32_t>(body->GetUserData().pointer);
}

int32_t slotWithRoom(b2World& world) {
    while (!shapes.withRoom.empty()) {
        const int32_t slot = shapes.withRoom.back();
        if (shapes.counts[static_cast<size_t>(slot)] < kFixturesPerStaticBody) return slot;
        shapes.withRoom.pop_back();
    }
    b2BodyDef def;  // static, at the origin: fixtures carry world positions as they are
    def.userData.pointer = shapes.bodies.size();
    shapes.bodies.push_back(world.CreateBody(&def));
    shapes.counts.push_back(0);
    const int32_t slot = static_cast<int32_t>(shapes.bodies.size()) - 1;
    shapes.withRoom.push_back(slot);
    return slot;
}

}  // namespace

StaticPolygon createStaticPolygon(const b2Vec2 points[4]) {
    b2World* world = getWorld();
    if (world == nullptr) return {};
    assert(!world->IsLocked() && "a fixture must not be made inside the physics step");
    if (shapes.world != worldSerial()) {
        forgetStaticShapeBodies();
        shapes.world = worldSerial();
    }
    const int32_t slot = slotWithRoom(*world);
    b2PolygonShape shape;
    shape.m_radius = b2_polygonRadius;
    shape.Set(points, 4);
    ++shapes.counts[static_cast<size_t>(slot)];
    return {shapes.bodies[static_cast<size_t>(slot)]->CreateFixture(&shape, 0.0f), shapes.world};
}

void destroyStaticPolygon(const StaticPolygon& polygon) {
    b2World* world = getWorld();
    b2Fixture* fixture = polygon.fixture;
    if (fixture == nullptr || world == nullptr || polygon.world != worldSerial() ||
        shapes.world != worldSerial()) {
        return;
    }
    b2Body* body = fixture->GetBody();
    assert(!world->IsLocked() && "a fixture must not die inside the physics step");
    const int32_t slot = slotOf(body);
    assert(slot >= 0 && static_cast<size_t>(slot) < shapes.bodies.size() &&
           shapes.bodies[static_cast<size_t>(slot)] == body && "not a shared static body");
    body->DestroyFixture(fixture);
    int32_t& count = shapes.counts[static_cast<size_t>(slot)];
    if (count-- == kFixturesPerStaticBody) shapes.withRoom.push_back(slot);
}

const std::vector<b2Body*>& staticShapeBodies() {
    if (shapes.world != worldSerial()) forgetStaticShapeBodies();
    return shapes.bodies;
}

void forgetStaticShapeBodies() {
    shapes.world = 0;
    shapes.bodies.clear();
    shapes.counts.clear();
    shapes.withRoom.clear();
}
