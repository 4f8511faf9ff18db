// joints.h: the joints level scripts tie actor bodies together with, and the registry that owns
// their records: ids, what made them, and carrying them across a map reload.
#pragma once
#include <cstdint>

#include "core/state_hasher.h"
#include "core/vec2.h"

class b2Body;
class b2World;

enum class JointKind : uint8_t { Hinge, Spring, Rope, Slider, Weld, Wheel, Pulley, Gear };
const char* jointKindName(JointKind kind);  // "hinge", "spring", ...

// What a joint was made with, in the game's units: world units, degrees, seconds. Forces are in
// kg * units / s^2 and torques in kg * units^2 / s^2 (20 and 400 times newtons and newton-metres).
struct JointPlan {
    JointKind kind = JointKind::Hinge;
    int32_t actorA = -1, actorB = -1;  // the bodies' actors; -1 is the world's ground
    int32_t jointA = -1, jointB = -1;  // a gear's two joints
    Vec2f anchorA, anchorB;            // world points; the one pivot of a hinge, weld, slider, wheel
    Vec2f groundA, groundB;            // a pulley's fixed points
    Vec2f axis = {1.0f, 0.0f};         // a slider's or wheel's, of length 1
    float length = 0.0f;               // a spring's rest length, a rope's greatest
    float minLength = 0.0f, maxLength = 0.0f;  // a spring's range
    float frequency = 0.0f;            // Hz; 0 is rigid (weld) or no spring (distance)
    float damping = 0.0f;              // ratio of critical
    float ratio = 1.0f;                // pulley, gear
    bool motor = false;
    float motorSpeed = 0.0f;           // degrees/s (hinge, wheel), units/s (slider)
    float maxMotor = 0.0f;             // torque (hinge, wheel) or force (slider)
    bool limit = false;
    float lower = 0.0f, upper = 0.0f;  // degrees (hinge), units (slider, wheel)
    bool collide = false;              // the two bodies still collide with each other
    bool visible = true;               // drawn in play
};

constexpr int32_t kMaxJoints = 10000;  // live at once

// The body an actor id names for a joint: the ground for -1, the actor's body while it is in
// the list (dead or not), nullptr for an actor without one.
b2Body* jointBody(int32_t actorId);

// Makes the joint in the current world and returns its id. The caller has checked the plan:
// bodies that exist, at least one dynamic, fewer than kMaxJoints live, a gear's joints alive.
int32_t createJoint(const JointPlan& plan);
// Whether joint id is alive in the current world.
bool jointAlive(int32_t id);
// The plan of live joint id; nullptr once it is gone.
const JointPlan* jointPlan(int32_t id);
int32_t liveJointCount();
// Destroys joint id and, first, every gear that uses it. Nothing once it is gone.
void removeJoint(int32_t id);

// The setters and readers of a live joint id of a kind they apply to (the caller checks).
// speed and max in the plan's motor units; setMax false keeps the current max.
void setJointMotor(int32_t id, bool on, float speed, bool setMax, float max);
void setJointLimits(int32_t id, bool on, float lower, float upper);
struct JointReaction {
    Vec2f force;         // on the second body, kg * units / s^2
    float torque = 0.0f;  // kg * units^2 / s^2
};
// What the joint did over the last step of stepSeconds.
JointReaction jointReaction(int32_t id, float stepSeconds);
float jointAngle(int32_t id);        // a hinge's, degrees from where it was made
float jointTranslation(int32_t id);  // a slider's or wheel's, units along its axis

// A map reload: the live joints read before their bodies move (Box2D destroys a body's joints
// with it), then made again with the same ids, motors, limits and reference state once the
// bodies are in newWorld, which must be the current world.
void snapshotJoints(const b2World& newWorld);
void rebuildJoints(b2World& newWorld);

// Queues each visible live joint's lines for this frame.
void drawJoints();
// Adds every live joint, and nothing at all in a game that never made one, so such games hash as
// they did before joints existed.
void hashJoints(StateHasher& h);
// Forgets every record; the next joint takes id 0. The joints themselves go with their bodies.
void resetJoints();
// Every live joint goes now (a script's run ending); the ids go on from where they were.
void removeAllJoints();
