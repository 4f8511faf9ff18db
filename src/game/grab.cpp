// grab.cpp: the mouse joint of the right button, and letting it go whenever its body or world
// goes away first.
#include "game/grab.h"

#include <box2d/box2d.h>

#include "actors/actor.h"
#include "actors/body_actor.h"
#include "core/refusal.h"
#include "core/units.h"
#include "game/step_command.h"
#include "physics/physics_world.h"

namespace {
// The spring of the pull: soft enough to swing a body, stiff enough that it follows the cursor
// within a few steps; Box2D leaves both at 0, which would make the joint do nothing.
constexpr float kPullFrequencyHz = 5.0f;
constexpr float kPullDampingRatio = 0.7f;
// Times the body's mass, so a car follows as a crate does: 1000 m/s^2 against gravity's 55.
constexpr float kMaxForcePerKg = 1000.0f;
constexpr float kPickHalfSize = 0.001f;  // metres: the box around the cursor the query searches

// Box2D destroys a body's joints with the body, through a reload's world move, a clear, a
// crate's death or the shutdown. It says goodbye first, and the grab forgets its joint then, so
// no pointer to it outlives it.
class GrabListener final : public b2DestructionListener {
public:
    void SayGoodbye(b2Joint* joint) override;
    void SayGoodbye(b2Fixture*) override {}
};

struct GrabState {
    b2MouseJoint* joint = nullptr;  // owned by its world; null when nothing is held
    const b2World* world = nullptr;  // the joint's
};
GrabState grabs[kPlayerSlots];  // by player
GrabListener listener;

void GrabListener::SayGoodbye(b2Joint* joint) {
    for (GrabState& grab : grabs)
        if (joint == grab.joint) grab.joint = nullptr;
}

// The player's grab; nullptr for a player beyond the room, who holds nothing.
GrabState* grabOf(uint8_t player) { return player < kPlayerSlots ? &grabs[player] : nullptr; }

b2Vec2 metresOf(Vec2f point) { return b2Vec2(toMetres(point.x), toMetres(point.y)); }
Vec2f unitsOf(const b2Vec2& point) { return {toUnits(point.x), toUnits(point.y)}; }

// The id of the actor that owns body; -1 for a body no actor owns.
int32_t ownerId(const b2Body* body) {
    for (const auto& actor : allActors()) {
        const auto* physical = dynamic_cast<const BodyActor*>(actor.get());
        if (physical && physical->body == body) return actor->id;
    }
    return -1;
}

// The first dynamic body whose fixture holds the point.
class PointPick final : public b2QueryCallback {
public:
    explicit PointPick(const b2Vec2& point) : point_(point) {}
    bool ReportFixture(b2Fixture* fixture) override {
        b2Body* body = fixture->GetBody();
        if (body->GetType() != b2_dynamicBody || !fixture->TestPoint(point_)) return true;
        found = body;
        return false;
    }
    b2Body* found = nullptr;

private:
    b2Vec2 point_;
};
}  // namespace

bool grabBodyAt(Vec2f point, uint8_t player) {
    GrabState* grab = grabOf(player);
    if (!grab) return false;
    releaseGrab(player);
    b2World* world = getWorld();
    b2Body* ground = getGroundBody();
    if (!world || !ground || world->IsLocked()) return false;
    const b2Vec2 p = metresOf(point);
    PointPick pick(p);
    b2AABB box;
    box.lowerBound = p - b2Vec2(kPickHalfSize, kPickHalfSize);
    box.upperBound = p + b2Vec2(kPickHalfSize, kPickHalfSize);
    world->QueryAABB(&pick, box);
    if (!pick.found) return false;

    b2MouseJointDef def;
    def.bodyA = ground;  // a reference only; the pull acts on bodyB alone
    def.bodyB = pick.found;
    def.collideConnected = true;  // the held body still lands on the ground
    def.target = p;
    def.maxForce = kMaxForcePerKg * pick.found->GetMass();
    b2LinearStiffness(def.stiffness, def.damping, kPullFrequencyHz, kPullDampingRatio, def.bodyA,
                      def.bodyB);
    listenToDestruction(&listener);
    grab->joint = static_cast<b2MouseJoint*>(world->CreateJoint(&def));
    grab->world = world;
    pick.found->SetAwake(true);
    return true;
}

void moveGrabTarget(Vec2f point, uint8_t player) {
    const GrabState* grab = grabOf(player);
    if (grab && grab->joint) grab->joint->SetTarget(metresOf(point));
}

void releaseGrab(uint8_t player) {
    GrabState* grab = grabOf(player);
    if (!grab || !grab->joint) return;
    b2Joint* joint = grab->joint;
    grab->joint = nullptr;
    // A world replaced or destroyed without a goodbye took the joint with it.
    if (grab->world == getWorld()) getWorld()->DestroyJoint(joint);
}

void releaseAllGrabs() {
    for (uint8_t player = 0; player < kPlayerSlots; ++player) releaseGrab(player);
}

bool grabHeld(uint8_t player) {
    const GrabState* grab = grabOf(player);
    return grab && grab->joint != nullptr;
}

GrabLine grabLine(uint8_t player) {
    const GrabState* grab = grabOf(player);
    if (!grab || !grab->joint) return {};
    return {unitsOf(grab->joint->GetAnchorB()), unitsOf(grab->joint->GetTarget())};
}

void hashGrab(StateHasher& h) {
    for (uint8_t player = 0; player < kPlayerSlots; ++player) {
        b2MouseJoint* joint = grabs[player].joint;  // GetTarget is not const in Box2D
        if (!joint) continue;
        const b2Body* body = joint->GetBodyB();
        if (player == 0) {
            h.add(static_cast<uint8_t>(1));
        } else {
            h.add(static_cast<uint8_t>(2));
            h.add(player);
        }
        h.add(ownerId(body));
        h.add(body->GetLocalPoint(joint->GetAnchorB()));
        h.add(joint->GetTarget());
    }
}

bool grabsSound(std::string& why) {
    const b2World* world = getWorld();
    int32_t held = 0;
    for (const GrabState& grab : grabs) {
        if (!grab.joint) continue;
        ++held;
        // Compared before the joint is touched: a joint of a world gone is gone with it.
        if (grab.world != world) return refuse(why, "the grab's joint is in another world");
        if (grab.joint->GetBodyB()->GetType() != b2_dynamicBody) return refuse(why, "the grab holds a static body");
    }
    if (held > 0 && world->GetJointCount() < held) return refuse(why, "the grab's joint is not in the world");
    return true;
}
