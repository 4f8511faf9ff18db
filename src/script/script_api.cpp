// script_api.cpp: the game table a level script sees, and handles to the actors it makes.
//
// Lua unwinds errors with longjmp: no C++ object with a destructor is alive across a call that
// can raise (luaL_check*, luaL_error, lua_push* of new strings or tables).
#include <box2d/box2d.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "actors/actor.h"
#include "actors/body_actor.h"
#include "actors/box.h"
#include "actors/car.h"
#include "actors/rocket.h"
#include "core/camera.h"
#include "core/random.h"
#include "game/messages.h"
#include "game/sandbox.h"
#include "game/sandbox_limits.h"
#include "lighting/lightmap.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/effects.h"
#include "render/texture.h"
#include "script/lua_sandbox.h"
#include "script/script_actors.h"
#include "script/script_fields.h"
#include "script/script_handles.h"
#include "script/script_joints.h"
#include "script/script_runtime.h"

namespace {
// The registry key of the methods every handle shares; each kind's metatable copies them.
constexpr const char* kHandleMethodsKey = "kelvoran.handle.methods";
constexpr size_t kMaxScriptActors = 10000;    // the script cannot flood the game's own memory
constexpr size_t kMaxSayLength = 200;
constexpr double kStepsPerSecond = 100.0;  // divided by, so whole steps give exact hundredths

// What the first word of every handle points at, so a handle is told from any other userdata
// without a table lookup; only this file makes userdata that holds it.
const char kHandleTag = 0;

// A handle names its actor by id and keeps its kind, which the kind registry holds for the
// program's life, so a removed actor is still named in errors. Each call finds the actor through
// ref in constant time; body is the actor as a body-owning one, found once when the handle was
// made (nullptr for a rocket or a lamp) and read only while ref still resolves.
struct Handle {
    const char* tag = &kHandleTag;
    int32_t id = 0;
    const ActorKind* kind = nullptr;
    ActorRef ref;
    BodyActor* body = nullptr;
};

// The handle at index, or nullptr.
Handle* testHandle(lua_State* L, int index) {
    void* data = lua_touserdata(L, index);
    if (!data || lua_type(L, index) != LUA_TUSERDATA || lua_rawlen(L, index) != sizeof(Handle)) return nullptr;
    auto* handle = static_cast<Handle*>(data);
    return handle->tag == &kHandleTag ? handle : nullptr;
}

Handle& checkHandle(lua_State* L, int index = 1) {
    Handle* handle = testHandle(L, index);
    if (!handle) luaL_typeerror(L, index, "handle");
    return *handle;
}

int handleToString(lua_State* L);
int handleEquals(lua_State* L);

// Each kind has a metatable of its own, whose __index is a plain table of the shared methods
// and the kind's name: a method or h.kind is found without a call. Made once per state and kind.
void pushHandleMetatable(lua_State* L, const ActorKind& kind) {
    if (lua_rawgetp(L, LUA_REGISTRYINDEX, &kind) == LUA_TTABLE) return;
    lua_pop(L, 1);
    lua_createtable(L, 0, 6);
    lua_createtable(L, 0, 24);
    lua_getfield(L, LUA_REGISTRYINDEX, kHandleMethodsKey);
    lua_pushnil(L);
    while (lua_next(L, -2) != 0) {
        lua_pushvalue(L, -2);
        lua_insert(L, -2);
        lua_rawset(L, -5);
    }
    lua_pop(L, 1);
    lua_pushstring(L, kind.name);
    lua_setfield(L, -2, "kind");
    lua_setfield(L, -2, "__index");
    lua_pushcfunction(L, handleToString);
    lua_setfield(L, -2, "__tostring");
    lua_pushcfunction(L, handleEquals);
    lua_setfield(L, -2, "__eq");
    lua_pushliteral(L, "handle");
    lua_setfield(L, -2, "__name");
    lua_pushboolean(L, 0);
    lua_setfield(L, -2, "__metatable");  // scripts cannot reach or change it
    lua_pushvalue(L, -1);
    lua_rawsetp(L, LUA_REGISTRYINDEX, &kind);
    lua_pushvalue(L, -1);
    lua_pushboolean(L, 1);
    lua_rawset(L, LUA_REGISTRYINDEX);
}
}  // namespace

// A finite number within the world's reach.
float checkCoordinate(lua_State* L, int index, double limit) {
    const double value = luaL_checknumber(L, index);
    luaL_argcheck(L, std::isfinite(value) && std::fabs(value) <= limit, index,
                  "a finite number of reasonable size expected");
    return static_cast<float>(value);
}

float optCoordinate(lua_State* L, int index, double fallback) {
    return lua_isnoneornil(L, index) ? static_cast<float>(fallback) : checkCoordinate(L, index);
}

namespace {
// Counts the bodies whose boxes overlap a box, up to a limit.
class OverlapCount final : public b2QueryCallback {
public:
    explicit OverlapCount(int32_t stopAt) : stopAt_(stopAt) {}
    bool ReportFixture(b2Fixture*) override { return ++count < stopAt_; }
    int32_t count = 0;

private:
    int32_t stopAt_;
};

// The physics step grows with the square of the bodies piled in one place: a body is not made or
// moved where more than this many boxes already overlap its own.
constexpr int32_t kMaxOverlaps = 16;

// How many boxes overlap the box of half-size (hw, hh) units centred on (x, y), counted up to
// one past the limit.
int32_t overlapsAt(float x, float y, float hw, float hh) {
    b2World* world = getWorld();
    if (!world) return 0;
    b2AABB box;
    box.lowerBound = b2Vec2(toMetres(x - hw), toMetres(y - hh));
    box.upperBound = b2Vec2(toMetres(x + hw), toMetres(y + hh));
    OverlapCount overlaps(kMaxOverlaps + 1);
    world->QueryAABB(&overlaps, box);
    return overlaps.count;
}
}  // namespace

// An error when a body of that size there would be too crowded.
void checkCrowding(lua_State* L, float x, float y, float hw, float hh) {
    if (overlapsAt(x, y, hw, hh) > kMaxOverlaps)
        luaL_error(L, "too crowded: more than %d bodies already overlap there", static_cast<int>(kMaxOverlaps));
}

void checkRoom(lua_State* L) {
    if (allActors().size() >= kMaxScriptActors)
        luaL_error(L, "too many actors (%d): remove some first", static_cast<int>(kMaxScriptActors));
}

namespace {
Actor* findActor(int32_t id) { return findLiveActor(id); }
}  // namespace

int pushHandle(lua_State* L, const Actor& actor) {
    auto* handle = static_cast<Handle*>(lua_newuserdatauv(L, sizeof(Handle), 0));
    new (handle) Handle;
    handle->id = actor.id;
    handle->kind = &actor.kind();
    handle->ref = actorRef(actor);
    handle->body = dynamic_cast<BodyActor*>(const_cast<Actor*>(&actor));
    pushHandleMetatable(L, actor.kind());
    lua_setmetatable(L, -2);
    return 1;
}

namespace {
// The handle at index, whose actor still lives, or an error naming what was removed.
const Handle& liveHandle(lua_State* L, int index) {
    const Handle& handle = checkHandle(L, index);
    if (!resolveActor(handle.ref))
        luaL_error(L, "the %s #%d was removed", handle.kind->name, static_cast<int>(handle.id));
    return handle;
}

// The live handle's body, or nullptr for an actor without one.
b2Body* bodyOf(const Handle& handle) { return handle.body ? handle.body->body : nullptr; }
}  // namespace

// The handle's actor, or an error naming what was removed.
Actor& liveActor(lua_State* L, int index) { return *resolveActor(liveHandle(L, index).ref); }

b2Body* bodyOf(Actor& actor) {
    auto* physical = dynamic_cast<BodyActor*>(&actor);
    return physical ? physical->body : nullptr;
}

b2Body& liveBody(lua_State* L, int index, const char* call) {
    const Handle& handle = liveHandle(L, index);
    b2Body* body = bodyOf(handle);
    if (!body) luaL_error(L, "%s: the %s #%d has no body", call, handle.kind->name, static_cast<int>(handle.id));
    return *body;
}

int32_t checkBodyHandle(lua_State* L, int index, bool nilIsWorld, const char* call) {
    if (nilIsWorld && lua_isnoneornil(L, index)) return -1;
    if (!testHandle(L, index))
        luaL_error(L, "%s: a body handle expected, got a %s", call, luaL_typename(L, index));
    Actor& actor = liveActor(L, index);
    if (!bodyOf(actor)) luaL_error(L, "%s: the %s #%d has no body", call, actor.kind().name, static_cast<int>(actor.id));
    return actor.id;
}

namespace {
int handleAlive(lua_State* L) {
    checkArgumentCount(L, 1, "alive");
    lua_pushboolean(L, resolveActor(checkHandle(L).ref) != nullptr);
    return 1;
}

int handlePosition(lua_State* L) {
    checkArgumentCount(L, 1, "position");
    const Handle& handle = liveHandle(L, 1);
    if (const b2Body* body = bodyOf(handle)) {
        lua_pushnumber(L, toUnits(body->GetPosition().x));
        lua_pushnumber(L, toUnits(body->GetPosition().y));
    } else {
        const Actor& actor = *resolveActor(handle.ref);
        lua_pushnumber(L, actor.x);
        lua_pushnumber(L, actor.y);
    }
    return 2;
}

int handleVelocity(lua_State* L) {
    checkArgumentCount(L, 1, "velocity");
    const Handle& handle = liveHandle(L, 1);
    if (const b2Body* body = bodyOf(handle)) {
        lua_pushnumber(L, toUnits(body->GetLinearVelocity().x));
        lua_pushnumber(L, toUnits(body->GetLinearVelocity().y));
    } else {
        const Actor& actor = *resolveActor(handle.ref);
        lua_pushnumber(L, actor.vx / kStepSeconds);
        lua_pushnumber(L, actor.vy / kStepSeconds);
    }
    return 2;
}

int handleAngle(lua_State* L) {
    checkArgumentCount(L, 1, "angle");
    const Handle& handle = liveHandle(L, 1);
    const b2Body* body = bodyOf(handle);
    lua_pushnumber(L, body ? toDegrees(body->GetAngle()) : resolveActor(handle.ref)->angle);
    return 1;
}

int handlePush(lua_State* L) {
    checkArgumentCount(L, 3, "push");
    const Handle& handle = liveHandle(L, 1);
    Actor& actor = *resolveActor(handle.ref);
    const float ix = checkCoordinate(L, 2), iy = checkCoordinate(L, 3);
    if (b2Body* body = bodyOf(handle)) {
        body->ApplyLinearImpulseToCenter(b2Vec2(toMetres(ix), toMetres(iy)), true);
    } else {
        // No mass: the impulse is the change of velocity, units per second.
        actor.vx += ix * static_cast<float>(kStepSeconds);
        actor.vy += iy * static_cast<float>(kStepSeconds);
    }
    return 0;
}

// Wakes every body whose box overlaps box (metres): the ones a moved body leaves resting on
// nothing, and the ones it lands among.
class Waker final : public b2QueryCallback {
public:
    bool ReportFixture(b2Fixture* fixture) override {
        fixture->GetBody()->SetAwake(true);
        return true;
    }
};

void wakeAround(b2World& world, b2AABB box) {
    constexpr float kReach = 0.1f;  // metres: bodies resting on it sit about this close
    box.lowerBound -= b2Vec2(kReach, kReach);
    box.upperBound += b2Vec2(kReach, kReach);
    Waker waker;
    world.QueryAABB(&waker, box);
}

int handleMove(lua_State* L) {
    checkArgumentCount(L, 3, "move");
    const Handle& handle = liveHandle(L, 1);
    Actor& actor = *resolveActor(handle.ref);
    const float x = checkCoordinate(L, 2), y = checkCoordinate(L, 3);
    if (b2Body* body = bodyOf(handle)) {
        // Its box, from its own fixtures as they stand.
        b2AABB box;
        bool any = false;
        for (const b2Fixture* f = body->GetFixtureList(); f; f = f->GetNext()) {
            const b2AABB own = f->GetAABB(0);
            if (any) {
                box.Combine(own);
            } else {
                box = own;
                any = true;
            }
        }
        const b2Vec2 from = body->GetPosition();
        const b2Vec2 to(toMetres(x), toMetres(y));
        float hw = 0.0f, hh = 0.0f;
        if (any) {
            hw = toUnits(box.GetExtents().x);
            hh = toUnits(box.GetExtents().y);
        }
        checkCrowding(L, x, y, hw, hh);
        if (any) wakeAround(*body->GetWorld(), box);
        body->SetTransform(to, body->GetAngle());
        body->SetAwake(true);
        if (any) {
            const b2Vec2 shift = to - from;
            box.lowerBound += shift;
            box.upperBound += shift;
            wakeAround(*body->GetWorld(), box);
        }
    }
    actor.x = x;
    actor.y = y;
    return 0;
}

int handleRemove(lua_State* L) {
    checkArgumentCount(L, 1, "remove");
    if (Actor* actor = resolveActor(checkHandle(L).ref)) actor->dead = true;
    return 0;
}

int handleToString(lua_State* L) {
    const Handle& handle = checkHandle(L);
    lua_pushfstring(L, "%s #%d", handle.kind->name, static_cast<int>(handle.id));
    return 1;
}

int handleEquals(lua_State* L) {
    const Handle* a = testHandle(L, 1);
    const Handle* b = testHandle(L, 2);
    lua_pushboolean(L, a && b && a->id == b->id);
    return 1;
}

constexpr float kCrateHalf = 16.0f;  // units: a crate, and about a car's height

int spawnBox(lua_State* L) {
    checkArgumentCount(L, 2, "game.box");
    const float x = checkCoordinate(L, 1), y = checkCoordinate(L, 2);
    checkRoom(L);
    checkCrowding(L, x, y, kCrateHalf, kCrateHalf);
    return pushHandle(L, *spawnActor<Box>(x, y));
}

int spawnCar(lua_State* L) {
    checkArgumentCount(L, 2, "game.car");
    const float x = checkCoordinate(L, 1), y = checkCoordinate(L, 2);
    checkRoom(L);
    // The player's own limit: a pile of cars costs seconds a step.
    if (countOfKind(countActorKinds(), "car") >= kMaxCars)
        luaL_error(L, "too many cars (%d is the limit): remove some first", static_cast<int>(kMaxCars));
    checkCrowding(L, x, y, kCrateHalf, kCrateHalf);
    return pushHandle(L, *spawnActor<Car>(x, y));
}

int spawnRocketAt(lua_State* L) {
    checkArgumentCount(L, 4, "game.rocket");
    const float x = checkCoordinate(L, 1), y = checkCoordinate(L, 2);
    const float vx = optCoordinate(L, 3, 100.0), vy = optCoordinate(L, 4, 100.0);  // units/s
    checkRoom(L);
    const float perStep = static_cast<float>(kStepSeconds);
    return pushHandle(L, *spawnActor<Rocket>(x, y, vx * perStep, vy * perStep));
}

int spawnLamp(lua_State* L) {
    checkArgumentCount(L, 3, "game.lamp");
    const float x = checkCoordinate(L, 1), y = checkCoordinate(L, 2);
    const float scale = optCoordinate(L, 3, 1.0);
    luaL_argcheck(L, scale >= 0.0f && scale <= 10.0f, 3, "a scale from 0 to 10 expected");
    checkRoom(L);
    return pushHandle(L, *spawnActor<Lamp>(x, y, scale));
}

int say(lua_State* L) {
    checkArgumentCount(L, 1, "game.say");
    size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    showMessage(std::string(text, std::min(length, kMaxSayLength)));
    return 0;
}

int after(lua_State* L) {
    checkArgumentCount(L, 2, "game.after");
    const double seconds = luaL_checknumber(L, 1);
    luaL_argcheck(L, std::isfinite(seconds) && seconds >= 0.0 && seconds <= 1e7, 1,
                  "seconds from 0 to 10000000 expected");
    luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_settop(L, 2);
    // At least one step later: a timer never runs inside the call that made it.
    const int64_t steps = std::max<int64_t>(1, std::llround(seconds / kStepSeconds));
    addScriptTimer(L, scriptSteps() + steps);
    return 0;
}

int gameTime(lua_State* L) {
    checkArgumentCount(L, 0, "game.time");
    lua_pushnumber(L, static_cast<double>(scriptSteps()) / kStepsPerSecond);
    return 1;
}

// [0, 1): one counted draw of the game's generator.
double drawFraction() { return static_cast<double>(nextRandom()) / (static_cast<double>(RAND_MAX) + 1.0); }

int gameRandom(lua_State* L) {
    checkArgumentCount(L, 0, "game.random");
    lua_pushnumber(L, drawFraction());
    return 1;
}

// math.random as Lua has it, drawing from the game's generator.
int mathRandom(lua_State* L) {
    lua_Integer low = 1, high = 0;
    switch (lua_gettop(L)) {
        case 0: lua_pushnumber(L, drawFraction()); return 1;
        case 1: high = luaL_checkinteger(L, 1); break;
        case 2:
            low = luaL_checkinteger(L, 1);
            high = luaL_checkinteger(L, 2);
            break;
        default: return luaL_error(L, "wrong number of arguments");
    }
    luaL_argcheck(L, low <= high, lua_gettop(L), "interval is empty");
    // In unsigned arithmetic, so the widest interval does not overflow.
    const lua_Unsigned range = static_cast<lua_Unsigned>(high) - static_cast<lua_Unsigned>(low);
    const long double scaled = static_cast<long double>(drawFraction()) * (static_cast<long double>(range) + 1.0L);
    const lua_Unsigned offset = std::min(static_cast<lua_Unsigned>(scaled), range);
    lua_pushinteger(L, static_cast<lua_Integer>(static_cast<lua_Unsigned>(low) + offset));
    return 1;
}

// Bursts and flickers live outside the script's memory cap, on the sheets: a script may keep at
// most this many of each alive.
constexpr size_t kMaxLiveEffects = 10000;

int burst(lua_State* L) {
    checkArgumentCount(L, 2, "game.burst");
    const float x = checkCoordinate(L, 1), y = checkCoordinate(L, 2);
    if (Texture* bloom = findTexture("bloomtest.png")) {
        if (bloom->queues.bursts.size() >= kMaxLiveEffects)
            luaL_error(L, "too many bursts (%d alive): let some finish first", static_cast<int>(kMaxLiveEffects));
        spawnBurst(*bloom, x, y, 0.0f);
    }
    return 0;
}

int flicker(lua_State* L) {
    checkArgumentCount(L, 2, "game.flicker");
    const float x = checkCoordinate(L, 1), y = checkCoordinate(L, 2);
    if (Texture* light = findTexture("light1.png")) {
        if (light->queues.flickers.size() >= kMaxLiveEffects)
            luaL_error(L, "too many flickers (%d alive): let some finish first", static_cast<int>(kMaxLiveEffects));
        spawnFlicker(*light, x, y, 0.0f, false, 0);
    }
    return 0;
}

int camera(lua_State* L) {
    checkArgumentCount(L, 2, "game.camera");
    const float x = checkCoordinate(L, 1), y = checkCoordinate(L, 2);
    if (!carHoldsCamera()) setCamera(x, y, 0, 0, 1.0f, 1.0f, 0.0f);
    return 0;
}

float checkChannel(lua_State* L, int index) {
    const double value = luaL_checknumber(L, index);
    luaL_argcheck(L, value >= 0.0 && value <= 1.0, index, "a level from 0 to 1 expected");
    return static_cast<float>(value);
}

int ambient(lua_State* L) {
    checkArgumentCount(L, 3, "game.ambient");
    LightmapAmbient level;
    level.set = true;
    level.red = checkChannel(L, 1);
    level.green = checkChannel(L, 2);
    level.blue = checkChannel(L, 3);
    setLightmapAmbient(level);
    return 0;
}

int quads(lua_State* L) {
    checkArgumentCount(L, 0, "game.quads");
    lua_pushinteger(L, static_cast<lua_Integer>(mapQuads().size()));
    return 1;
}

int quad(lua_State* L) {
    checkArgumentCount(L, 1, "game.quad");
    const lua_Integer i = luaL_checkinteger(L, 1);
    const auto& all = mapQuads();
    luaL_argcheck(L, i >= 1 && i <= static_cast<lua_Integer>(all.size()), 1, "no quad with that number");
    const MapQuad& q = all[static_cast<size_t>(i - 1)];
    for (const Vec2f& corner : q.vertices) {
        lua_pushnumber(L, corner.x);
        lua_pushnumber(L, corner.y);
    }
    return 8;
}

const luaL_Reg kGameFunctions[] = {
    {"box", spawnBox},     {"car", spawnCar},     {"rocket", spawnRocketAt},
    {"lamp", spawnLamp},   {"say", say},          {"after", after},          {"time", gameTime},
    {"random", gameRandom}, {"burst", burst},     {"flicker", flicker},      {"camera", camera},
    {"quads", quads},      {"quad", quad},        {"ambient", ambient},      {nullptr, nullptr},
};

const luaL_Reg kHandleMethods[] = {
    {"alive", handleAlive}, {"position", handlePosition}, {"velocity", handleVelocity},
    {"angle", handleAngle}, {"push", handlePush},         {"move", handleMove},
    {"remove", handleRemove}, {nullptr, nullptr},
};
}  // namespace

bool pushParty(lua_State* L, bool quad, int32_t id) {
    if (!quad) return pushActorHandle(L, id);
    lua_pushinteger(L, id);
    return true;
}

bool pushActorHandle(lua_State* L, int32_t id) {
    const Actor* actor = findActor(id);
    if (!actor) return false;
    pushHandle(L, *actor);
    return true;
}

void openGameApi(lua_State* L) {
    luaL_newlib(L, kGameFunctions);
    openJointApi(L);
    openBodyApi(L);
    openQueryApi(L);
    openLevelApi(L);
    openMediaApi(L);
    lua_setglobal(L, "game");

    luaL_newlib(L, kHandleMethods);
    addBodyMethods(L);
    lua_setfield(L, LUA_REGISTRYINDEX, kHandleMethodsKey);

    lua_getglobal(L, "math");
    lua_pushcfunction(L, mathRandom);
    lua_setfield(L, -2, "random");
    lua_pop(L, 1);
}
