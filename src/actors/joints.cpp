// joints.cpp: the joint registry, the one path that makes a joint from its state, and carrying
// joints across a map reload.
#include "actors/joints.h"

#include <box2d/box2d.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

#include "actors/actor.h"
#include "actors/body_actor.h"
#include "core/units.h"
#include "physics/physics_world.h"
#include "render/shape_queue.h"

namespace {
constexpr const char* kKindNames[] = {"hinge", "spring", "rope", "slider", "weld", "wheel", "pulley", "gear"};
constexpr float kForceScale = kUnitsPerMetre;                    // newtons to kg * units / s^2
constexpr float kTorqueScale = kUnitsPerMetre * kUnitsPerMetre;  // N*m to kg * units^2 / s^2
// A joint's user data holds this tag with its id, so a goodbye is matched to its record without
// a search and a joint of someone else's (the grab's) is told apart.
constexpr uintptr_t kJointTag = uintptr_t(1) << 40;

// A joint's whole state in the physics library's units (metres, radians, newtons): what it is
// made from, read back from the live joint to make it again, and what the state hash adds.
struct JointState {
    b2Vec2 localA{0.0f, 0.0f}, localB{0.0f, 0.0f};  // the anchors in each body's frame
    b2Vec2 localAxis{1.0f, 0.0f};                   // slider, wheel: in body A's frame
    b2Vec2 groundA{0.0f, 0.0f}, groundB{0.0f, 0.0f};  // pulley
    float referenceAngle = 0.0f;                     // body B's angle less body A's when made
    float length = 0.0f, minLength = 0.0f, maxLength = 0.0f;
    float lengthA = 0.0f, lengthB = 0.0f;  // pulley
    float stiffness = 0.0f, damping = 0.0f;
    float ratio = 1.0f;
    bool motor = false;
    float motorSpeed = 0.0f, maxMotor = 0.0f;
    bool limit = false;
    float lower = 0.0f, upper = 0.0f;
    bool collide = false;
};

struct JointRecord {
    int32_t id = 0;
    JointPlan plan;
    b2Joint* joint = nullptr;  // owned by its world; null once gone
    uint32_t world = 0;        // serial of the joint's world
};

// A joint between the snapshot and the rebuild of a map reload.
struct CarriedJoint {
    int32_t id = 0;
    JointState state;
};

class JointGoodbyes final : public b2DestructionListener {
public:
    void SayGoodbye(b2Joint* joint) override;
    void SayGoodbye(b2Fixture*) override {}
};

struct JointRegistry {
    std::vector<JointRecord> records;  // id order; gone ones stay until the next compaction
    int32_t nextId = 0;
    int32_t live = 0;
    int32_t gearsMade = 0;  // spares removals the search for gears in games without one
    std::vector<CarriedJoint> carried;  // filled by snapshotJoints, emptied by rebuildJoints
    JointGoodbyes goodbyes;
    bool listening = false;
};
JointRegistry registry;

JointRecord* findRecord(int32_t id) {
    auto& records = registry.records;
    const auto it = std::lower_bound(records.begin(), records.end(), id,
                                     [](const JointRecord& r, int32_t wanted) { return r.id < wanted; });
    return it != records.end() && it->id == id ? &*it : nullptr;
}

// The record's joint while it is alive in the current world; a world replaced or destroyed
// without telling took its joints with it, and they are never touched.
b2Joint* liveJoint(const JointRecord& record) {
    return record.joint && record.world == worldSerial() ? record.joint : nullptr;
}

b2Joint* liveJoint(int32_t id) {
    const JointRecord* record = findRecord(id);
    return record ? liveJoint(*record) : nullptr;
}

void forget(JointRecord& record) {
    if (!record.joint) return;
    record.joint = nullptr;
    --registry.live;
}

void JointGoodbyes::SayGoodbye(b2Joint* joint) {
    const uintptr_t mark = joint->GetUserData().pointer;
    if ((mark & kJointTag) == 0) return;
    JointRecord* record = findRecord(static_cast<int32_t>(mark & 0xffffffffu));
    if (record && record->joint == joint) forget(*record);
}

// Drops the records of gone joints once they outnumber the live ones, so a script that makes and
// removes joints forever keeps a bounded list at an even cost per joint.
void compactRecords() {
    auto& records = registry.records;
    const size_t gone = records.size() - static_cast<size_t>(registry.live);
    if (gone <= static_cast<size_t>(registry.live) + 64) return;
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [](const JointRecord& r) { return r.joint == nullptr; }),
                  records.end());
}

b2Vec2 metresOf(Vec2f point) { return b2Vec2(toMetres(point.x), toMetres(point.y)); }
Vec2f unitsOf(const b2Vec2& point) { return {toUnits(point.x), toUnits(point.y)}; }

// The state a new joint starts from, with both bodies where they are now.
JointState stateOf(const JointPlan& plan, b2Body* a, b2Body* b) {
    JointState s;
    const b2Vec2 anchorA = metresOf(plan.anchorA), anchorB = metresOf(plan.anchorB);
    s.localA = a->GetLocalPoint(anchorA);
    s.localB = b->GetLocalPoint(anchorB);
    s.referenceAngle = b->GetAngle() - a->GetAngle();
    s.localAxis = a->GetLocalVector(b2Vec2(plan.axis.x, plan.axis.y));
    s.collide = plan.collide;
    s.motor = plan.motor;
    s.limit = plan.limit;
    s.ratio = plan.ratio;
    switch (plan.kind) {
        case JointKind::Hinge:
        case JointKind::Wheel:
            s.motorSpeed = toRadians(plan.motorSpeed);
            s.maxMotor = plan.maxMotor / kTorqueScale;
            break;
        case JointKind::Slider:
            s.motorSpeed = toMetres(plan.motorSpeed);
            s.maxMotor = plan.maxMotor / kForceScale;
            break;
        default: break;
    }
    if (plan.kind == JointKind::Hinge) {
        s.lower = toRadians(plan.lower);
        s.upper = toRadians(plan.upper);
    } else {
        s.lower = toMetres(plan.lower);
        s.upper = toMetres(plan.upper);
    }
    s.length = toMetres(plan.length);
    s.minLength = toMetres(plan.minLength);
    s.maxLength = toMetres(plan.maxLength);
    if (plan.kind == JointKind::Weld) {
        b2AngularStiffness(s.stiffness, s.damping, plan.frequency, plan.damping, a, b);
    } else {
        b2LinearStiffness(s.stiffness, s.damping, plan.frequency, plan.damping, a, b);
    }
    s.groundA = metresOf(plan.groundA);
    s.groundB = metresOf(plan.groundB);
    s.lengthA = (anchorA - s.groundA).Length();
    s.lengthB = (anchorB - s.groundB).Length();
    return s;
}

// What every kind's definition takes alike: the anchors in each body's frame, the two bodies and
// whether they collide.
template <class Def>
void anchor(Def& def, const JointState& s) {
    def.localAnchorA = s.localA;
    def.localAnchorB = s.localB;
}

template <class Def>
b2Joint* made(b2World& world, Def& def, b2Body* a, b2Body* b, const JointState& s) {
    def.bodyA = a;
    def.bodyB = b;
    def.collideConnected = s.collide;
    return world.CreateJoint(&def);
}

// The live joint's state as it stands, motors and limits set since included.
JointState readState(JointKind kind, b2Joint* joint) {
    JointState s;
    s.collide = joint->GetCollideConnected();
    switch (kind) {
        case JointKind::Hinge: {
            auto* j = static_cast<b2RevoluteJoint*>(joint);
            s.localA = j->GetLocalAnchorA();
            s.localB = j->GetLocalAnchorB();
            s.referenceAngle = j->GetReferenceAngle();
            s.limit = j->IsLimitEnabled();
            s.lower = j->GetLowerLimit();
            s.upper = j->GetUpperLimit();
            s.motor = j->IsMotorEnabled();
            s.motorSpeed = j->GetMotorSpeed();
            s.maxMotor = j->GetMaxMotorTorque();
            break;
        }
        case JointKind::Spring:
        case JointKind::Rope: {
            auto* j = static_cast<b2DistanceJoint*>(joint);
            s.localA = j->GetLocalAnchorA();
            s.localB = j->GetLocalAnchorB();
            s.length = j->GetLength();
            s.minLength = j->GetMinLength();
            s.maxLength = j->GetMaxLength();
            s.stiffness = j->GetStiffness();
            s.damping = j->GetDamping();
            break;
        }
        case JointKind::Slider: {
            auto* j = static_cast<b2PrismaticJoint*>(joint);
            s.localA = j->GetLocalAnchorA();
            s.localB = j->GetLocalAnchorB();
            s.localAxis = j->GetLocalAxisA();
            s.referenceAngle = j->GetReferenceAngle();
            s.limit = j->IsLimitEnabled();
            s.lower = j->GetLowerLimit();
            s.upper = j->GetUpperLimit();
            s.motor = j->IsMotorEnabled();
            s.motorSpeed = j->GetMotorSpeed();
            s.maxMotor = j->GetMaxMotorForce();
            break;
        }
        case JointKind::Weld: {
            auto* j = static_cast<b2WeldJoint*>(joint);
            s.localA = j->GetLocalAnchorA();
            s.localB = j->GetLocalAnchorB();
            s.referenceAngle = j->GetReferenceAngle();
            s.stiffness = j->GetStiffness();
            s.damping = j->GetDamping();
            break;
        }
        case JointKind::Wheel: {
            auto* j = static_cast<b2WheelJoint*>(joint);
            s.localA = j->GetLocalAnchorA();
            s.localB = j->GetLocalAnchorB();
            s.localAxis = j->GetLocalAxisA();
            s.limit = j->IsLimitEnabled();
            s.lower = j->GetLowerLimit();
            s.upper = j->GetUpperLimit();
            s.motor = j->IsMotorEnabled();
            s.motorSpeed = j->GetMotorSpeed();
            s.maxMotor = j->GetMaxMotorTorque();
            s.stiffness = j->GetStiffness();
            s.damping = j->GetDamping();
            break;
        }
        case JointKind::Pulley: {
            auto* j = static_cast<b2PulleyJoint*>(joint);
            // No reader of the local anchors; the world ones taken back through the bodies.
            s.localA = j->GetBodyA()->GetLocalPoint(j->GetAnchorA());
            s.localB = j->GetBodyB()->GetLocalPoint(j->GetAnchorB());
            s.groundA = j->GetGroundAnchorA();
            s.groundB = j->GetGroundAnchorB();
            s.lengthA = j->GetLengthA();
            s.lengthB = j->GetLengthB();
            s.ratio = j->GetRatio();
            break;
        }
        case JointKind::Gear: s.ratio = static_cast<b2GearJoint*>(joint)->GetRatio(); break;
    }
    return s;
}

// The one place a joint is made, new or carried. joint1 and joint2 only for a gear.
b2Joint* makeJoint(b2World& world, JointKind kind, const JointState& s, b2Body* a, b2Body* b,
                   b2Joint* joint1, b2Joint* joint2) {
    switch (kind) {
        case JointKind::Hinge: {
            b2RevoluteJointDef def;
            anchor(def, s);
            def.referenceAngle = s.referenceAngle;
            def.enableLimit = s.limit;
            def.lowerAngle = s.lower;
            def.upperAngle = s.upper;
            def.enableMotor = s.motor;
            def.motorSpeed = s.motorSpeed;
            def.maxMotorTorque = s.maxMotor;
            return made(world, def, a, b, s);
        }
        case JointKind::Spring:
        case JointKind::Rope: {
            b2DistanceJointDef def;
            anchor(def, s);
            def.length = s.length;
            def.minLength = s.minLength;
            def.maxLength = s.maxLength;
            def.stiffness = s.stiffness;
            def.damping = s.damping;
            return made(world, def, a, b, s);
        }
        case JointKind::Slider: {
            b2PrismaticJointDef def;
            anchor(def, s);
            def.localAxisA = s.localAxis;
            def.referenceAngle = s.referenceAngle;
            def.enableLimit = s.limit;
            def.lowerTranslation = s.lower;
            def.upperTranslation = s.upper;
            def.enableMotor = s.motor;
            def.motorSpeed = s.motorSpeed;
            def.maxMotorForce = s.maxMotor;
            return made(world, def, a, b, s);
        }
        case JointKind::Weld: {
            b2WeldJointDef def;
            anchor(def, s);
            def.referenceAngle = s.referenceAngle;
            def.stiffness = s.stiffness;
            def.damping = s.damping;
            return made(world, def, a, b, s);
        }
        case JointKind::Wheel: {
            b2WheelJointDef def;
            anchor(def, s);
            def.localAxisA = s.localAxis;
            def.enableLimit = s.limit;
            def.lowerTranslation = s.lower;
            def.upperTranslation = s.upper;
            def.enableMotor = s.motor;
            def.motorSpeed = s.motorSpeed;
            def.maxMotorTorque = s.maxMotor;
            def.stiffness = s.stiffness;
            def.damping = s.damping;
            return made(world, def, a, b, s);
        }
        case JointKind::Pulley: {
            b2PulleyJointDef def;
            anchor(def, s);
            def.groundAnchorA = s.groundA;
            def.groundAnchorB = s.groundB;
            def.lengthA = s.lengthA;
            def.lengthB = s.lengthB;
            def.ratio = s.ratio;
            return made(world, def, a, b, s);
        }
        case JointKind::Gear: {
            b2GearJointDef def;
            def.joint1 = joint1;
            def.joint2 = joint2;
            def.ratio = s.ratio;
            // Box2D takes a gear's bodies from its joints; these only name them.
            def.bodyA = joint1->GetBodyB();
            def.bodyB = joint2->GetBodyB();
            def.collideConnected = s.collide;
            return world.CreateJoint(&def);
        }
    }
    return nullptr;
}

// Makes record's joint from state in the current world, its bodies found by actor id now.
void build(JointRecord& record, const JointState& state) {
    const JointPlan& plan = record.plan;
    b2World* world = getWorld();
    b2Joint* joint = nullptr;
    if (plan.kind == JointKind::Gear) {
        b2Joint* joint1 = liveJoint(plan.jointA);
        b2Joint* joint2 = liveJoint(plan.jointB);
        if (joint1 && joint2) joint = makeJoint(*world, plan.kind, state, nullptr, nullptr, joint1, joint2);
    } else {
        b2Body* a = jointBody(plan.actorA);
        b2Body* b = jointBody(plan.actorB);
        if (a && b) joint = makeJoint(*world, plan.kind, state, a, b, nullptr, nullptr);
    }
    if (!joint) return;  // a body or gear joint gone: the joint is gone with it
    joint->GetUserData().pointer = kJointTag | static_cast<uint32_t>(record.id);
    record.joint = joint;
    record.world = worldSerial();
    ++registry.live;
}

// --- drawing ---

constexpr float kLineWidth = 2.0f;         // pixels at zoom 1
constexpr float kPinRadius = 5.0f;         // units: a hinge's ring
constexpr int kPinSegments = 8;
constexpr float kWeldArm = 4.0f;           // units: half a weld's cross
constexpr int kZigZags = 12;               // a spring's segments
constexpr float kZigZagWidth = 4.0f;       // units, either side of the line
constexpr float kRailGap = 2.0f;           // units, either side of the axis
constexpr float kRailHalfLength = 40.0f;   // units, without limits
constexpr uint32_t kPinColour = 0xffd040ffu;
constexpr uint32_t kRopeColour = 0xc8a070ffu;
constexpr uint32_t kSpringColour = 0x60e0ffffu;
constexpr uint32_t kRailColour = 0xb0b0b0ffu;
constexpr uint32_t kLinkColour = 0xff80c0ffu;  // weld, pulley, gear

Vec2f plus(Vec2f p, Vec2f d, float k) { return {p.x + d.x * k, p.y + d.y * k}; }

void drawZigZag(Vec2f from, Vec2f to) {
    const float dx = to.x - from.x, dy = to.y - from.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length <= 0.0f) return;
    const Vec2f side = {-dy / length * kZigZagWidth, dx / length * kZigZagWidth};
    Vec2f last = from;
    for (int k = 1; k <= kZigZags; ++k) {
        const float t = static_cast<float>(k) / kZigZags;
        const float sway = k == kZigZags ? 0.0f : (k % 2 == 1 ? 1.0f : -1.0f);
        const Vec2f next = {from.x + dx * t + side.x * sway, from.y + dy * t + side.y * sway};
        pushLine(last, next, kLineWidth, kSpringColour);
        last = next;
    }
}

void drawRail(b2Joint* joint, const b2Vec2& localAxis, bool limited, float lower, float upper) {
    const b2Vec2 axis = joint->GetBodyA()->GetWorldVector(localAxis);
    const Vec2f along = {axis.x, axis.y}, across = {-axis.y, axis.x};
    const Vec2f origin = unitsOf(joint->GetAnchorA());
    const float from = limited ? toUnits(lower) : -kRailHalfLength;
    const float to = limited ? toUnits(upper) : kRailHalfLength;
    for (float side : {-kRailGap, kRailGap}) {
        const Vec2f base = plus(origin, across, side);
        pushLine(plus(base, along, from), plus(base, along, to), kLineWidth, kRailColour);
    }
}

void drawJoint(JointKind kind, b2Joint* joint) {
    const Vec2f a = unitsOf(joint->GetAnchorA()), b = unitsOf(joint->GetAnchorB());
    switch (kind) {
        case JointKind::Hinge: {
            Vec2f last = {b.x + kPinRadius, b.y};
            for (int k = 1; k <= kPinSegments; ++k) {
                const float turn = 2.0f * kPi * static_cast<float>(k) / kPinSegments;
                const Vec2f next = {b.x + kPinRadius * std::cos(turn), b.y + kPinRadius * std::sin(turn)};
                pushLine(last, next, kLineWidth, kPinColour);
                last = next;
            }
            break;
        }
        case JointKind::Rope: pushLine(a, b, kLineWidth, kRopeColour); break;
        case JointKind::Spring: drawZigZag(a, b); break;
        case JointKind::Slider: {
            auto* j = static_cast<b2PrismaticJoint*>(joint);
            drawRail(joint, j->GetLocalAxisA(), j->IsLimitEnabled(), j->GetLowerLimit(), j->GetUpperLimit());
            break;
        }
        case JointKind::Wheel: {
            auto* j = static_cast<b2WheelJoint*>(joint);
            drawRail(joint, j->GetLocalAxisA(), j->IsLimitEnabled(), j->GetLowerLimit(), j->GetUpperLimit());
            break;
        }
        case JointKind::Weld:
            pushLine({b.x - kWeldArm, b.y - kWeldArm}, {b.x + kWeldArm, b.y + kWeldArm}, kLineWidth, kLinkColour);
            pushLine({b.x - kWeldArm, b.y + kWeldArm}, {b.x + kWeldArm, b.y - kWeldArm}, kLineWidth, kLinkColour);
            break;
        case JointKind::Pulley: {
            auto* j = static_cast<b2PulleyJoint*>(joint);
            const Vec2f groundA = unitsOf(j->GetGroundAnchorA()), groundB = unitsOf(j->GetGroundAnchorB());
            pushLine(a, groundA, kLineWidth, kLinkColour);
            pushLine(groundA, groundB, kLineWidth, kLinkColour);
            pushLine(groundB, b, kLineWidth, kLinkColour);
            break;
        }
        case JointKind::Gear:
            pushLine(unitsOf(joint->GetBodyA()->GetPosition()), unitsOf(joint->GetBodyB()->GetPosition()),
                     kLineWidth, kLinkColour);
            break;
    }
}

void hashState(StateHasher& h, const JointState& s) {
    for (const b2Vec2& v : {s.localA, s.localB, s.localAxis, s.groundA, s.groundB}) h.add(v);
    for (float v : {s.referenceAngle, s.length, s.minLength, s.maxLength, s.lengthA, s.lengthB,
                    s.stiffness, s.damping, s.ratio, s.motorSpeed, s.maxMotor, s.lower, s.upper})
        h.add(v);
    h.add(s.motor);
    h.add(s.limit);
    h.add(s.collide);
}
}  // namespace

const char* jointKindName(JointKind kind) { return kKindNames[static_cast<int>(kind)]; }

b2Body* jointBody(int32_t actorId) {
    if (actorId < 0) return getGroundBody();
    // Dead actors too: they keep their bodies, and their joints, until the update pass.
    const auto& actors = allActors();
    const auto it = std::lower_bound(actors.begin(), actors.end(), actorId,
                                     [](const std::unique_ptr<Actor>& a, int32_t wanted) { return a->id < wanted; });
    if (it == actors.end() || (*it)->id != actorId) return nullptr;
    const auto* physical = dynamic_cast<const BodyActor*>(it->get());
    return physical ? physical->body : nullptr;
}

int32_t createJoint(const JointPlan& plan) {
    if (!registry.listening) {
        listenToDestruction(&registry.goodbyes);
        registry.listening = true;
    }
    compactRecords();
    JointRecord record;
    record.id = registry.nextId++;
    record.plan = plan;
    if (plan.kind == JointKind::Gear) ++registry.gearsMade;
    registry.records.push_back(record);
    JointRecord& added = registry.records.back();
    JointState state;
    if (plan.kind == JointKind::Gear) {
        state.ratio = plan.ratio;
        state.collide = plan.collide;
    } else {
        b2Body* a = jointBody(plan.actorA);
        b2Body* b = jointBody(plan.actorB);
        assert(a && b && "the caller checks the bodies");
        state = stateOf(plan, a, b);
    }
    build(added, state);
    return added.id;
}

bool jointAlive(int32_t id) { return liveJoint(id) != nullptr; }

const JointPlan* jointPlan(int32_t id) {
    const JointRecord* record = findRecord(id);
    return record && liveJoint(*record) ? &record->plan : nullptr;
}

int32_t liveJointCount() { return registry.live; }

void removeJoint(int32_t id) {
    JointRecord* record = findRecord(id);
    if (!record || !liveJoint(*record)) return;
    b2World* world = getWorld();
    // A gear holds pointers to its two joints: it goes first.
    for (JointRecord& other : registry.records) {
        if (registry.gearsMade == 0) break;
        if (other.plan.kind != JointKind::Gear || !liveJoint(other)) continue;
        if (other.plan.jointA != id && other.plan.jointB != id) continue;
        world->DestroyJoint(other.joint);
        forget(other);
    }
    world->DestroyJoint(record->joint);
    forget(*record);
}

void setJointMotor(int32_t id, bool on, float speed, bool setMax, float max) {
    const JointRecord* record = findRecord(id);
    b2Joint* joint = record ? liveJoint(*record) : nullptr;
    if (!joint) return;
    switch (record->plan.kind) {
        case JointKind::Hinge: {
            auto* j = static_cast<b2RevoluteJoint*>(joint);
            j->EnableMotor(on);
            if (on) j->SetMotorSpeed(toRadians(speed));
            if (setMax) j->SetMaxMotorTorque(max / kTorqueScale);
            break;
        }
        case JointKind::Wheel: {
            auto* j = static_cast<b2WheelJoint*>(joint);
            j->EnableMotor(on);
            if (on) j->SetMotorSpeed(toRadians(speed));
            if (setMax) j->SetMaxMotorTorque(max / kTorqueScale);
            break;
        }
        case JointKind::Slider: {
            auto* j = static_cast<b2PrismaticJoint*>(joint);
            j->EnableMotor(on);
            if (on) j->SetMotorSpeed(toMetres(speed));
            if (setMax) j->SetMaxMotorForce(max / kForceScale);
            break;
        }
        default: assert(false && "the caller checks the kind"); break;
    }
    // A sleeping body would not feel a motor switched on or changed.
    joint->GetBodyA()->SetAwake(true);
    joint->GetBodyB()->SetAwake(true);
}

void setJointLimits(int32_t id, bool on, float lower, float upper) {
    const JointRecord* record = findRecord(id);
    b2Joint* joint = record ? liveJoint(*record) : nullptr;
    if (!joint) return;
    switch (record->plan.kind) {
        case JointKind::Hinge: {
            auto* j = static_cast<b2RevoluteJoint*>(joint);
            j->EnableLimit(on);
            if (on) j->SetLimits(toRadians(lower), toRadians(upper));
            break;
        }
        case JointKind::Slider: {
            auto* j = static_cast<b2PrismaticJoint*>(joint);
            j->EnableLimit(on);
            if (on) j->SetLimits(toMetres(lower), toMetres(upper));
            break;
        }
        case JointKind::Wheel: {
            auto* j = static_cast<b2WheelJoint*>(joint);
            j->EnableLimit(on);
            if (on) j->SetLimits(toMetres(lower), toMetres(upper));
            break;
        }
        default: assert(false && "the caller checks the kind"); break;
    }
    joint->GetBodyA()->SetAwake(true);
    joint->GetBodyB()->SetAwake(true);
}

JointReaction jointReaction(int32_t id, float stepSeconds) {
    JointReaction reaction;
    b2Joint* joint = liveJoint(id);
    if (!joint) return reaction;
    const float perSecond = 1.0f / stepSeconds;
    const b2Vec2 force = joint->GetReactionForce(perSecond);
    reaction.force = {force.x * kForceScale, force.y * kForceScale};
    reaction.torque = joint->GetReactionTorque(perSecond) * kTorqueScale;
    return reaction;
}

float jointAngle(int32_t id) {
    const JointRecord* record = findRecord(id);
    b2Joint* joint = record ? liveJoint(*record) : nullptr;
    if (!joint || record->plan.kind != JointKind::Hinge) return 0.0f;
    return toDegrees(static_cast<b2RevoluteJoint*>(joint)->GetJointAngle());
}

float jointTranslation(int32_t id) {
    const JointRecord* record = findRecord(id);
    b2Joint* joint = record ? liveJoint(*record) : nullptr;
    if (!joint) return 0.0f;
    if (record->plan.kind == JointKind::Slider)
        return toUnits(static_cast<b2PrismaticJoint*>(joint)->GetJointTranslation());
    if (record->plan.kind == JointKind::Wheel)
        return toUnits(static_cast<b2WheelJoint*>(joint)->GetJointTranslation());
    return 0.0f;
}

void snapshotJoints(const b2World& newWorld) {
    registry.carried.clear();
    for (JointRecord& record : registry.records) {
        // Those of the world just retired, which still exists while its bodies move out.
        b2Joint* joint = record.world == previousWorldSerial() ? record.joint : nullptr;
        if (!joint || joint->GetBodyA()->GetWorld() == &newWorld) continue;
        registry.carried.push_back({record.id, readState(record.plan.kind, joint)});
    }
    // Destroyed here rather than with their bodies, gears first, so no gear ever holds a joint
    // gone before it. Box2D says no goodbye for a joint destroyed by hand.
    for (bool gears : {true, false}) {
        for (const CarriedJoint& carried : registry.carried) {
            JointRecord& record = *findRecord(carried.id);
            if ((record.plan.kind == JointKind::Gear) != gears) continue;
            record.joint->GetBodyA()->GetWorld()->DestroyJoint(record.joint);
            forget(record);
        }
    }
}

void rebuildJoints(b2World& newWorld) {
    assert(&newWorld == getWorld() && "joints are carried into the current world");
    (void)newWorld;
    // Gears last: they are made from their joints.
    for (bool gears : {false, true}) {
        for (const CarriedJoint& carried : registry.carried) {
            JointRecord& record = *findRecord(carried.id);
            if ((record.plan.kind == JointKind::Gear) == gears) build(record, carried.state);
        }
    }
    registry.carried.clear();
}

void drawJoints() {
    for (const JointRecord& record : registry.records) {
        if (!record.plan.visible) continue;
        if (b2Joint* joint = liveJoint(record)) drawJoint(record.plan.kind, joint);
    }
}

void hashJoints(StateHasher& h) {
    if (registry.nextId == 0) return;
    h.add(registry.nextId);
    int32_t live = 0;
    for (const JointRecord& record : registry.records) live += liveJoint(record) ? 1 : 0;
    h.add(live);
    for (const JointRecord& record : registry.records) {
        b2Joint* joint = liveJoint(record);
        if (!joint) continue;
        const JointPlan& plan = record.plan;
        h.add(record.id);
        h.add(static_cast<uint8_t>(plan.kind));
        h.add(plan.actorA);
        h.add(plan.actorB);
        h.add(plan.jointA);
        h.add(plan.jointB);
        h.add(plan.visible);
        hashState(h, readState(plan.kind, joint));
    }
}

void removeAllJoints() {
    // Newest first, so a gear goes before the joints it couples.
    for (auto it = registry.records.rbegin(); it != registry.records.rend(); ++it)
        if (liveJoint(*it)) removeJoint(it->id);
}

void resetJoints() {
    registry.records.clear();
    registry.carried.clear();
    registry.nextId = 0;
    registry.live = 0;
    registry.gearsMade = 0;
}
