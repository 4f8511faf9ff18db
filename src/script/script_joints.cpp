// script_joints.cpp: game.hinge and the other joint makers, and the joint handles.
//
// Lua unwinds errors with longjmp: only plain records (a JointPlan) are alive across a call that
// can raise.
#include "script/script_joints.h"

#include <box2d/box2d.h>
#include <lua.hpp>

#include <cmath>
#include <cstring>

#include "actors/joints.h"
#include "physics/physics_world.h"
#include "script/script_fields.h"
#include "script/script_handles.h"
#include "script/script_runtime.h"

namespace {
constexpr const char* kJointType = "kelvoran.joint";
constexpr double kMaxSpeed = 1000000.0;     // degrees/s or units/s
constexpr double kMaxMotorLoad = 1.0e12;    // the greatest torque or force a motor may have
constexpr double kMaxAngle = 100000.0;      // degrees, a hinge's limits
constexpr double kMaxFrequency = 50.0;      // Hz: half the step rate, beyond which springs blow up
constexpr double kMaxDamping = 100.0;       // ratios of critical damping
constexpr double kMaxLength = 2.0 * kMaxCoordinate;  // units, a spring's greatest length
constexpr double kMinRatio = 0.01, kMaxRatio = 100.0;  // a pulley's or gear's
// A motor given a speed but no strength: strong enough to turn or push a pile of crates, in the
// game's units (kg * units^2 / s^2 and kg * units / s^2).
constexpr double kDefaultMaxTorque = 1000000.0;
constexpr double kDefaultMaxForce = 100000.0;
// Springs made without saying: a lively bounce, and a car's soft suspension.
constexpr double kSpringFrequency = 4.0, kSpringDamping = 0.5;
constexpr double kWheelFrequency = 4.0, kWheelDamping = 0.7;

struct JointHandle {
    int32_t id = 0;
    JointKind kind = JointKind::Hinge;
};

JointHandle& checkJoint(lua_State* L, int index = 1) {
    return *static_cast<JointHandle*>(luaL_checkudata(L, index, kJointType));
}

// The handle's joint id while it is alive, or an error naming what was removed.
int32_t liveJoint(lua_State* L) {
    const JointHandle& handle = checkJoint(L);
    if (!jointAlive(handle.id))
        luaL_error(L, "the %s #%d was removed", jointKindName(handle.kind), static_cast<int>(handle.id));
    return handle.id;
}

// Bodies and joints are made and destroyed between physics steps only.
void checkUnlocked(lua_State* L, const char* call) {
    const b2World* world = getWorld();
    if (!world) luaL_error(L, "%s: there is no world", call);
    if (world->IsLocked()) luaL_error(L, "%s: not during the physics step", call);
}

Vec2f positionOf(int32_t actorId) {
    const b2Vec2 p = jointBody(actorId)->GetPosition();
    return {toUnits(p.x), toUnits(p.y)};
}

bool isDynamic(int32_t actorId) { return jointBody(actorId)->GetType() == b2_dynamicBody; }

// Fields a and b; a body joined to itself, or two bodies of which neither moves, is an error.
void readBodies(lua_State* L, const char* call, JointPlan& plan) {
    lua_getfield(L, 1, "a");
    plan.actorA = checkBodyHandle(L, -1, true, call);
    lua_pop(L, 1);
    lua_getfield(L, 1, "b");
    plan.actorB = checkBodyHandle(L, -1, true, call);
    lua_pop(L, 1);
    if (plan.actorA >= 0 && plan.actorA == plan.actorB) luaL_error(L, "%s: a joint of a body to itself", call);
    if (!isDynamic(plan.actorA) && !isDynamic(plan.actorB))
        luaL_error(L, "%s: a and b are both static or the world: one must be a dynamic body", call);
}

// A point from two fields, both or neither; fallback when neither.
Vec2f readPoint(lua_State* L, const char* call, const char* xName, const char* yName, Vec2f fallback) {
    const bool hasX = hasField(L, 1, xName), hasY = hasField(L, 1, yName);
    if (hasX != hasY) luaL_error(L, "%s: fields '%s' and '%s' go together", call, xName, yName);
    Vec2f point = fallback;
    point.x = static_cast<float>(numberField(L, 1, call, xName, fallback.x, -kMaxCoordinate, kMaxCoordinate));
    point.y = static_cast<float>(numberField(L, 1, call, yName, fallback.y, -kMaxCoordinate, kMaxCoordinate));
    return point;
}

// A body's anchor: its position unless given; the world has none to default to.
Vec2f readAnchor(lua_State* L, const char* call, const char* xName, const char* yName, int32_t actorId,
                 const char* side) {
    if (actorId < 0 && !hasField(L, 1, xName) && !hasField(L, 1, yName))
        luaL_error(L, "%s: fields '%s' and '%s' are needed when %s is the world", call, xName, yName, side);
    return readPoint(L, call, xName, yName, actorId < 0 ? Vec2f{} : positionOf(actorId));
}

// The one pivot of a hinge, weld, slider or wheel: b's position unless given (a's when b is the
// world).
void readPivot(lua_State* L, const char* call, JointPlan& plan) {
    const Vec2f fallback = positionOf(plan.actorB >= 0 ? plan.actorB : plan.actorA);
    plan.anchorA = plan.anchorB = readPoint(L, call, "x", "y", fallback);
}

void readAxis(lua_State* L, const char* call, JointPlan& plan, Vec2f fallback) {
    const Vec2f axis = readPoint(L, call, "axis_x", "axis_y", fallback);
    const float length = std::sqrt(axis.x * axis.x + axis.y * axis.y);
    if (!(length > 1e-6f)) luaL_error(L, "%s: axis_x and axis_y must not both be 0", call);
    plan.axis = {axis.x / length, axis.y / length};
}

// A motor is on when a speed is given.
void readMotor(lua_State* L, const char* call, JointPlan& plan, const char* maxName, double defaultMax) {
    plan.motor = hasField(L, 1, "motor_speed");
    plan.motorSpeed = static_cast<float>(numberField(L, 1, call, "motor_speed", 0.0, -kMaxSpeed, kMaxSpeed));
    plan.maxMotor = static_cast<float>(numberField(L, 1, call, maxName, defaultMax, 0.0, kMaxMotorLoad));
}

// Limits are on when given, both or neither.
void readLimits(lua_State* L, const char* call, JointPlan& plan, double range) {
    const bool hasLower = hasField(L, 1, "lower"), hasUpper = hasField(L, 1, "upper");
    if (hasLower != hasUpper) luaL_error(L, "%s: fields 'lower' and 'upper' go together", call);
    plan.limit = hasLower;
    plan.lower = static_cast<float>(numberField(L, 1, call, "lower", 0.0, -range, range));
    plan.upper = static_cast<float>(numberField(L, 1, call, "upper", 0.0, -range, range));
    if (plan.lower > plan.upper) luaL_error(L, "%s: field 'lower' must not be above 'upper'", call);
}

void readStiffness(lua_State* L, const char* call, JointPlan& plan, double frequency, double damping) {
    plan.frequency = static_cast<float>(numberField(L, 1, call, "frequency", frequency, 0.0, kMaxFrequency));
    plan.damping = static_cast<float>(numberField(L, 1, call, "damping", damping, 0.0, kMaxDamping));
}

void readFlags(lua_State* L, const char* call, JointPlan& plan) {
    plan.collide = booleanField(L, 1, call, "collide", false);
    plan.visible = booleanField(L, 1, call, "visible", true);
}

int pushJoint(lua_State* L, int32_t id, JointKind kind) {
    auto* handle = static_cast<JointHandle*>(lua_newuserdatauv(L, sizeof(JointHandle), 0));
    handle->id = id;
    handle->kind = kind;
    luaL_setmetatable(L, kJointType);
    return 1;
}

int makeJoint(lua_State* L, const char* call, const JointPlan& plan) {
    checkUnlocked(L, call);
    if (liveJointCount() >= kMaxJoints)
        luaL_error(L, "%s: too many joints (%d): remove some first", call, static_cast<int>(kMaxJoints));
    const int32_t id = createJoint(plan);
    if (!jointAlive(id)) luaL_error(L, "%s: the joint could not be made", call);
    return pushJoint(L, id, plan.kind);
}

// Reads the table of a call, first checking it names known fields only.
void begin(lua_State* L, const char* call, const char* const* fields) {
    luaL_checktype(L, 1, LUA_TTABLE);
    checkKnownFields(L, 1, call, fields);
    checkUnlocked(L, call);
}

int hinge(lua_State* L) {
    static const char* const kFields[] = {"a", "b", "x", "y", "motor_speed", "max_torque", "lower",
                                          "upper", "collide", "visible", nullptr};
    const char* call = "game.hinge";
    begin(L, call, kFields);
    JointPlan plan;
    plan.kind = JointKind::Hinge;
    readBodies(L, call, plan);
    readPivot(L, call, plan);
    readMotor(L, call, plan, "max_torque", kDefaultMaxTorque);
    readLimits(L, call, plan, kMaxAngle);
    readFlags(L, call, plan);
    return makeJoint(L, call, plan);
}

// A spring or rope: two anchors and the length between them unless given.
void readDistance(lua_State* L, const char* call, JointPlan& plan) {
    readBodies(L, call, plan);
    plan.anchorA = readAnchor(L, call, "ax", "ay", plan.actorA, "a");
    plan.anchorB = readAnchor(L, call, "bx", "by", plan.actorB, "b");
    const double dx = plan.anchorB.x - plan.anchorA.x, dy = plan.anchorB.y - plan.anchorA.y;
    plan.length = static_cast<float>(numberField(L, 1, call, "length", std::sqrt(dx * dx + dy * dy), 0.0, kMaxLength));
}

int spring(lua_State* L) {
    static const char* const kFields[] = {"a", "b", "ax", "ay", "bx", "by", "length", "min", "max",
                                          "frequency", "damping", "collide", "visible", nullptr};
    const char* call = "game.spring";
    begin(L, call, kFields);
    JointPlan plan;
    plan.kind = JointKind::Spring;
    readDistance(L, call, plan);
    plan.minLength = static_cast<float>(numberField(L, 1, call, "min", 0.0, 0.0, kMaxLength));
    plan.maxLength = static_cast<float>(numberField(L, 1, call, "max", kMaxLength, 0.0, kMaxLength));
    if (plan.minLength > plan.length || plan.length > plan.maxLength)
        luaL_error(L, "%s: field 'length' must lie from 'min' to 'max'", call);
    readStiffness(L, call, plan, kSpringFrequency, kSpringDamping);
    readFlags(L, call, plan);
    return makeJoint(L, call, plan);
}

// A rope: slack up to its length, never longer.
int rope(lua_State* L) {
    static const char* const kFields[] = {"a", "b", "ax", "ay", "bx", "by", "length", "collide", "visible", nullptr};
    const char* call = "game.rope";
    begin(L, call, kFields);
    JointPlan plan;
    plan.kind = JointKind::Rope;
    readDistance(L, call, plan);
    plan.minLength = 0.0f;
    plan.maxLength = plan.length;
    readFlags(L, call, plan);
    return makeJoint(L, call, plan);
}

int slider(lua_State* L) {
    static const char* const kFields[] = {"a", "b", "x", "y", "axis_x", "axis_y", "lower", "upper",
                                          "motor_speed", "max_force", "collide", "visible", nullptr};
    const char* call = "game.slider";
    begin(L, call, kFields);
    JointPlan plan;
    plan.kind = JointKind::Slider;
    readBodies(L, call, plan);
    readPivot(L, call, plan);
    readAxis(L, call, plan, {1.0f, 0.0f});
    readLimits(L, call, plan, kMaxLength);
    readMotor(L, call, plan, "max_force", kDefaultMaxForce);
    readFlags(L, call, plan);
    return makeJoint(L, call, plan);
}

int weld(lua_State* L) {
    static const char* const kFields[] = {"a", "b", "x", "y", "frequency", "damping", "collide", "visible", nullptr};
    const char* call = "game.weld";
    begin(L, call, kFields);
    JointPlan plan;
    plan.kind = JointKind::Weld;
    readBodies(L, call, plan);
    readPivot(L, call, plan);
    readStiffness(L, call, plan, 0.0, 0.0);  // rigid unless told
    readFlags(L, call, plan);
    return makeJoint(L, call, plan);
}

// A wheel on a springy axis; the axis runs down the screen unless given, as a car's suspension.
int wheel(lua_State* L) {
    static const char* const kFields[] = {"a", "b", "x", "y", "axis_x", "axis_y", "motor_speed",
                                          "max_torque", "frequency", "damping", "lower", "upper",
                                          "collide", "visible", nullptr};
    const char* call = "game.wheel";
    begin(L, call, kFields);
    JointPlan plan;
    plan.kind = JointKind::Wheel;
    readBodies(L, call, plan);
    readPivot(L, call, plan);
    readAxis(L, call, plan, {0.0f, 1.0f});
    readMotor(L, call, plan, "max_torque", kDefaultMaxTorque);
    readStiffness(L, call, plan, kWheelFrequency, kWheelDamping);
    readLimits(L, call, plan, kMaxLength);
    readFlags(L, call, plan);
    return makeJoint(L, call, plan);
}

int pulley(lua_State* L) {
    static const char* const kFields[] = {"a", "b", "ax", "ay", "bx", "by", "gax", "gay", "gbx",
                                          "gby", "ratio", "collide", "visible", nullptr};
    const char* call = "game.pulley";
    begin(L, call, kFields);
    JointPlan plan;
    plan.kind = JointKind::Pulley;
    readBodies(L, call, plan);
    plan.anchorA = readAnchor(L, call, "ax", "ay", plan.actorA, "a");
    plan.anchorB = readAnchor(L, call, "bx", "by", plan.actorB, "b");
    for (const char* name : {"gax", "gay", "gbx", "gby"})
        if (!hasField(L, 1, name)) luaL_error(L, "%s: field '%s' is needed", call, name);
    plan.groundA = readPoint(L, call, "gax", "gay", {});
    plan.groundB = readPoint(L, call, "gbx", "gby", {});
    plan.ratio = static_cast<float>(numberField(L, 1, call, "ratio", 1.0, kMinRatio, kMaxRatio));
    readFlags(L, call, plan);
    return makeJoint(L, call, plan);
}

// One of a gear's two joints: a live hinge or slider whose a is the world, so the gear always
// shares a body with it and dies with it.
int32_t readGearJoint(lua_State* L, const char* call, const char* name) {
    lua_getfield(L, 1, name);
    const auto* handle = static_cast<JointHandle*>(luaL_testudata(L, -1, kJointType));
    if (!handle) luaL_error(L, "%s: field '%s' must be a hinge or slider handle", call, name);
    const int32_t id = handle->id;
    const JointKind kind = handle->kind;
    lua_pop(L, 1);
    if (kind != JointKind::Hinge && kind != JointKind::Slider)
        luaL_error(L, "%s: field '%s' must be a hinge or slider, not a %s", call, name, jointKindName(kind));
    const JointPlan* plan = jointPlan(id);
    if (!plan) luaL_error(L, "%s: field '%s': the %s #%d was removed", call, name, jointKindName(kind), static_cast<int>(id));
    if (plan->actorA != -1)
        luaL_error(L, "%s: field '%s' must be fixed to the world (made with a = nil)", call, name);
    return id;
}

int gear(lua_State* L) {
    static const char* const kFields[] = {"j1", "j2", "ratio", "collide", "visible", nullptr};
    const char* call = "game.gear";
    begin(L, call, kFields);
    JointPlan plan;
    plan.kind = JointKind::Gear;
    plan.jointA = readGearJoint(L, call, "j1");
    plan.jointB = readGearJoint(L, call, "j2");
    plan.actorA = jointPlan(plan.jointA)->actorB;
    plan.actorB = jointPlan(plan.jointB)->actorB;
    if (plan.actorA == plan.actorB) luaL_error(L, "%s: a joint of a body to itself", call);
    if (!isDynamic(plan.actorA) && !isDynamic(plan.actorB))
        luaL_error(L, "%s: both joints hold static bodies: one must be dynamic", call);
    plan.ratio = static_cast<float>(numberField(L, 1, call, "ratio", 1.0, -kMaxRatio, kMaxRatio));
    if (std::fabs(plan.ratio) < kMinRatio) luaL_error(L, "%s: field 'ratio' must not be within 0.01 of 0", call);
    readFlags(L, call, plan);
    return makeJoint(L, call, plan);
}

// --- joint handle methods ---

bool hasMotor(JointKind kind) { return kind == JointKind::Hinge || kind == JointKind::Slider || kind == JointKind::Wheel; }

// An error naming the joint and what it lacks, unless it has it.
void need(lua_State* L, bool has, const char* what) {
    if (has) return;
    const JointHandle& handle = checkJoint(L);
    luaL_error(L, "the %s #%d has no %s", jointKindName(handle.kind), static_cast<int>(handle.id), what);
}

double checkNumber(lua_State* L, int index, const char* what, double low, double high) {
    const double value = luaL_checknumber(L, index);
    if (!std::isfinite(value) || value < low || value > high)
        luaL_error(L, "%s must be a finite number from %f to %f", what, static_cast<lua_Number>(low),
                   static_cast<lua_Number>(high));
    return value;
}

int jointAliveMethod(lua_State* L) {
    lua_pushboolean(L, jointAlive(checkJoint(L).id));
    return 1;
}

int jointRemove(lua_State* L) {
    const int32_t id = checkJoint(L).id;
    if (!jointAlive(id)) return 0;
    checkUnlocked(L, "remove");
    removeJoint(id);
    return 0;
}

// j:motor(speed [, max]) switches the motor on; j:motor(false) off.
int jointMotor(lua_State* L) {
    const int32_t id = liveJoint(L);
    const JointKind kind = checkJoint(L).kind;
    need(L, hasMotor(kind), "motor");
    if (lua_isboolean(L, 2) && !lua_toboolean(L, 2)) {
        setJointMotor(id, false, 0.0f, false, 0.0f);
        return 0;
    }
    const float speed = static_cast<float>(checkNumber(L, 2, "the motor's speed", -kMaxSpeed, kMaxSpeed));
    const bool setMax = !lua_isnoneornil(L, 3);
    const float max = setMax ? static_cast<float>(checkNumber(L, 3, "the motor's max", 0.0, kMaxMotorLoad)) : 0.0f;
    setJointMotor(id, true, speed, setMax, max);
    return 0;
}

// j:limits(lower, upper) switches limits on; j:limits(false) off.
int jointLimits(lua_State* L) {
    const int32_t id = liveJoint(L);
    const JointKind kind = checkJoint(L).kind;
    need(L, hasMotor(kind), "limits");  // the joints with a motor are the ones with limits
    if (lua_isboolean(L, 2) && !lua_toboolean(L, 2)) {
        setJointLimits(id, false, 0.0f, 0.0f);
        return 0;
    }
    const double range = kind == JointKind::Hinge ? kMaxAngle : kMaxLength;
    const float lower = static_cast<float>(checkNumber(L, 2, "the lower limit", -range, range));
    const float upper = static_cast<float>(checkNumber(L, 3, "the upper limit", -range, range));
    if (lower > upper) luaL_error(L, "the lower limit must not be above the upper");
    setJointLimits(id, true, lower, upper);
    return 0;
}

// The force on body b over the last step (kg * units / s^2: newtons times 20) and the torque
// (kg * units^2 / s^2: newton-metres times 400).
int jointReactionMethod(lua_State* L) {
    const JointReaction reaction = jointReaction(liveJoint(L), static_cast<float>(kStepSeconds));
    lua_pushnumber(L, reaction.force.x);
    lua_pushnumber(L, reaction.force.y);
    lua_pushnumber(L, reaction.torque);
    return 3;
}

int jointAngleMethod(lua_State* L) {
    const int32_t id = liveJoint(L);
    need(L, checkJoint(L).kind == JointKind::Hinge, "angle");
    lua_pushnumber(L, jointAngle(id));
    return 1;
}

int jointTranslationMethod(lua_State* L) {
    const int32_t id = liveJoint(L);
    const JointKind kind = checkJoint(L).kind;
    need(L, kind == JointKind::Slider || kind == JointKind::Wheel, "translation");
    lua_pushnumber(L, jointTranslation(id));
    return 1;
}

int jointIndex(lua_State* L) {
    const JointHandle& handle = checkJoint(L);
    const char* key = luaL_checkstring(L, 2);
    if (std::strcmp(key, "kind") == 0) {
        lua_pushstring(L, jointKindName(handle.kind));
        return 1;
    }
    lua_pushvalue(L, 2);
    lua_rawget(L, lua_upvalueindex(1));
    return 1;
}

int jointToString(lua_State* L) {
    const JointHandle& handle = checkJoint(L);
    lua_pushfstring(L, "%s #%d", jointKindName(handle.kind), static_cast<int>(handle.id));
    return 1;
}

int jointEquals(lua_State* L) {
    const auto* a = static_cast<JointHandle*>(luaL_testudata(L, 1, kJointType));
    const auto* b = static_cast<JointHandle*>(luaL_testudata(L, 2, kJointType));
    lua_pushboolean(L, a && b && a->id == b->id);
    return 1;
}

const luaL_Reg kJointFunctions[] = {
    {"hinge", hinge}, {"spring", spring}, {"rope", rope},     {"slider", slider},
    {"weld", weld},   {"wheel", wheel},   {"pulley", pulley}, {"gear", gear},
    {nullptr, nullptr},
};

const luaL_Reg kJointMethods[] = {
    {"alive", jointAliveMethod},   {"remove", jointRemove},         {"motor", jointMotor},
    {"limits", jointLimits},       {"reaction", jointReactionMethod}, {"angle", jointAngleMethod},
    {"translation", jointTranslationMethod}, {nullptr, nullptr},
};
}  // namespace

void openJointApi(lua_State* L) {
    luaL_setfuncs(L, kJointFunctions, 0);

    luaL_newmetatable(L, kJointType);
    luaL_newlib(L, kJointMethods);
    lua_pushcclosure(L, jointIndex, 1);
    lua_setfield(L, -2, "__index");
    lua_pushcfunction(L, jointToString);
    lua_setfield(L, -2, "__tostring");
    lua_pushcfunction(L, jointEquals);
    lua_setfield(L, -2, "__eq");
    lua_pushliteral(L, "joint");
    lua_setfield(L, -2, "__name");
    lua_pushboolean(L, 0);
    lua_setfield(L, -2, "__metatable");  // scripts cannot reach or change it
    lua_pop(L, 1);
}
