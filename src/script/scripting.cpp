// scripting.cpp: the one running script: loading it fresh, its timers and callbacks at their
// fixed points, and stopping it for good on the first failure.
#include "script/scripting.h"

#include <box2d/box2d.h>

#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "actors/actor.h"
#include "actors/body_actor.h"
#include "lighting/lightmap.h"
#include "map/map_quad.h"
#include "map/quad_index.h"
#include "physics/physics_world.h"
#include "actors/joints.h"
#include "game/level_finish.h"
#include "game/level_presentation.h"
#include "game/level_sounds.h"
#include "game/level_script.h"
#include "game/messages.h"
#include "game/sandbox.h"
#include "render/texture.h"
#include "script/lua_sandbox.h"
#include "script/script_carry.h"
#include "script/script_finish.h"
#include "script/script_parties.h"
#include "script/script_runtime.h"

namespace {
struct Timer {
    int64_t due = 0;    // step count at which it fires
    int64_t order = 0;  // creation order, for timers due at the same step
    int ref = LUA_NOREF;
};

// Pending timers are few in any level; a script that makes hundreds of thousands is refused
// rather than let each step's firing grow with them.
constexpr size_t kMaxTimers = 10000;

// The heap order of timers: the one due first (then made first) on top.
bool firesLater(const Timer& a, const Timer& b) { return a.due != b.due ? a.due > b.due : a.order > b.order; }

struct Touch {
    Party a, b;
    b2Vec2 point, normal;      // metres; the normal runs from a to b
    float impulse = 0.0f;      // the normal impulse of the step it began, kg m/s
    float speed = 0.0f;        // the approach speed along the normal as it began, m/s
};

// Collects the touches that begin and end during a world step, named at once (the bodies may be
// gone by the time the script hears of them); the next step's callbacks deliver them.
class TouchListener final : public b2ContactListener {
public:
    void BeginContact(b2Contact* contact) override {
        Touch touch;
        if (!name(contact, touch)) return;
        const b2Body* first = (swapped ? contact->GetFixtureB() : contact->GetFixtureA())->GetBody();
        const b2Body* second = (swapped ? contact->GetFixtureA() : contact->GetFixtureB())->GetBody();
        const int32_t points = contact->GetManifold()->pointCount;
        if (points > 0) {
            b2WorldManifold manifold;
            contact->GetWorldManifold(&manifold);
            touch.point = points > 1 ? 0.5f * (manifold.points[0] + manifold.points[1]) : manifold.points[0];
            touch.normal = swapped ? -manifold.normal : manifold.normal;
        } else {
            // A sensor's touch has no manifold: its point is the other's centre, its normal the
            // way from one centre to the other.
            const bool firstSenses = (swapped ? contact->GetFixtureB() : contact->GetFixtureA())->IsSensor();
            touch.point = (firstSenses ? second : first)->GetWorldCenter();
            touch.normal = second->GetWorldCenter() - first->GetWorldCenter();
            if (touch.normal.Normalize() == 0.0f) touch.normal.SetZero();
        }
        const b2Vec2 closing = first->GetLinearVelocityFromWorldPoint(touch.point) -
                               second->GetLinearVelocityFromWorldPoint(touch.point);
        touch.speed = std::max(0.0f, b2Dot(closing, touch.normal));
        // Found again by the solver's report of this step, and only this step's.
        begun[contact] = touches.size();
        touches.push_back(touch);
    }
    void EndContact(b2Contact* contact) override {
        if (!hearEnds) return;
        Touch touch;
        if (name(contact, touch)) untouches.push_back(touch);
    }
    void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override {
        if (begun.empty()) return;
        const auto entry = begun.find(contact);
        if (entry == begun.end()) return;
        float total = 0.0f;
        for (int32_t k = 0; k < impulse->count; ++k) total += impulse->normalImpulses[k];
        Touch& touch = touches[entry->second];
        touch.impulse = std::max(touch.impulse, total);
    }
    // The step is over: its new contacts are no longer told apart from older ones.
    void stepDone() { begun.clear(); }

    std::vector<Touch> touches;
    std::vector<Touch> untouches;
    bool hearEnds = false;  // only while the script has on_untouch

private:
    // Both parties in their fixed order; false when either is not one (the ground), or the
    // report comes from a world being retired (a map reload moving its bodies away).
    bool name(b2Contact* contact, Touch& touch) {
        b2Fixture* a = contact->GetFixtureA();
        b2Fixture* b = contact->GetFixtureB();
        if (a->GetBody()->GetWorld() != getWorld()) return false;
        if (!partyOf(a, touch.a) || !partyOf(b, touch.b)) return false;
        swapped = touch.b < touch.a;
        if (swapped) std::swap(touch.a, touch.b);
        return true;
    }
    bool swapped = false;
    // Looked up by address only to find this step's touch again; nothing is ordered by it.
    std::unordered_map<const b2Contact*, size_t> begun;
};

// A script can pile hundreds of bodies into one place, and the physics step grows with the square
// of their number. While a script runs, touches beyond this many are not made (bodies over the
// limit pass through each other), so the step stays bounded; no ordinary level comes near it.
constexpr int32_t kMaxContacts = 10000;

class ContactCap final : public b2ContactFilter {
public:
    bool ShouldCollide(b2Fixture* a, b2Fixture* b) override {
        return a->GetBody()->GetWorld()->GetContactCount() < kMaxContacts &&
               b2ContactFilter::ShouldCollide(a, b);
    }
};

struct ScriptRuntime {
    lua_State* L = nullptr;
    bool loaded = false;   // a script was loaded, running or stopped since
    bool stopped = false;
    int64_t steps = 0;
    int64_t nextTimerOrder = 0;
    std::map<int64_t, Timer> timers;  // by creation order, the order they are hashed in
    std::vector<Timer> dueOrder;      // the same timers as a heap by firesLater
};
ScriptRuntime runtime;
// The ids of the actors this run of the script made, as [first, end) ranges: they go when the
// script is loaded again, so a reload leaves no duplicates.
std::vector<std::pair<int32_t, int32_t>> ownedActors;
// A table the old run's save() gave, for the new run's on_reload; module state, since an error
// may unwind the call that fills it.
std::string carried;
bool carrying = false;
const char* carryProblem = nullptr;
TouchListener touchListener;
ContactCap contactCap;
b2ContactFilter plainFilter;  // Box2D's own rule, put back when the script goes
std::vector<Touch> deliveredTouches;
std::vector<Touch> deliveredUntouches;

void listenForTouches(bool on) {
    touchListener.touches.clear();
    touchListener.untouches.clear();
    touchListener.stepDone();
    touchListener.hearEnds = false;
    listenToContacts(on ? &touchListener : nullptr);
    if (b2World* world = getWorld())
        world->SetContactFilter(on ? static_cast<b2ContactFilter*>(&contactCap) : &plainFilter);
}

void closeState() {
    if (runtime.L) listenForTouches(false);
    closeSandbox(runtime.L);
    runtime.L = nullptr;
    runtime.timers.clear();
    runtime.dueOrder.clear();
}

void fail(const std::string& message) {
    showFailure(message);
    setStoppedScriptLine(std::string(kScriptFileName) + " stopped: " + message);
    closeState();
    runtime.stopped = true;
}

// Notes the actors made since nextActorId() was first as the script's own.
void noteOwned(int32_t first) {
    const int32_t end = nextActorId();
    if (end <= first) return;
    if (!ownedActors.empty() && ownedActors.back().second == first) {
        ownedActors.back().second = end;
    } else {
        ownedActors.emplace_back(first, end);
    }
}

// What the last run made goes: its actors (and with them their joints), any joint left, its
// labels, keys and allowances.
void removeRunLeftovers() {
    for (const auto& [first, end] : ownedActors) removeActorsNow(first, end);
    ownedActors.clear();
    removeAllJoints();
    resetLevelPresentation();
    resetLevelFinish();
    resetLevelSounds();
    retireLevelSheets();  // after the bodies drawn with them
}

// Every callback goes through one of the dispatchers below, called protected with (a, x, y),
// so even looking a callback up cannot raise outside a protected call.
bool runProtected(lua_CFunction dispatcher, int64_t a = 0, double x = 0.0, double y = 0.0,
                  const char* name = nullptr) {
    if (!runtime.L) return false;
    lua_State* L = runtime.L;
    lua_pushcfunction(L, dispatcher);
    lua_pushinteger(L, a);
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    if (name) {
        lua_pushstring(L, name);
    } else {
        lua_pushnil(L);
    }
    const int32_t first = nextActorId();
    std::string message;
    const ScriptFailure failure = callSandboxed(L, 4, message);
    noteOwned(first);
    if (failure == ScriptFailure::None) return true;
    fail(message);
    return false;
}

// Leaves the global function name on the stack and returns true, or leaves nothing.
bool pushCallback(lua_State* L, const char* name) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_getfield(L, -1, name);
    lua_remove(L, -2);
    if (lua_type(L, -1) == LUA_TFUNCTION) return true;
    lua_pop(L, 1);
    return false;
}

// Each callback has a budget of its own.
void freshBudget(lua_State* L) { sandboxLimits(L).instructions = 0; }

int dispatchStart(lua_State* L) {
    if (pushCallback(L, "on_start")) lua_call(L, 0, 0);
    return 0;
}

bool pushParty(lua_State* L, const Party& party) { return pushParty(L, party.quad, party.id); }

void pushTouchInfo(lua_State* L, const Touch& touch) {
    lua_createtable(L, 0, 6);
    lua_pushnumber(L, toUnits(touch.point.x));
    lua_setfield(L, -2, "x");
    lua_pushnumber(L, toUnits(touch.point.y));
    lua_setfield(L, -2, "y");
    lua_pushnumber(L, touch.normal.x);
    lua_setfield(L, -2, "nx");
    lua_pushnumber(L, touch.normal.y);
    lua_setfield(L, -2, "ny");
    lua_pushnumber(L, toUnits(touch.impulse));
    lua_setfield(L, -2, "impulse");
    lua_pushnumber(L, toUnits(touch.speed));
    lua_setfield(L, -2, "speed");
}

// Delivers each touch of the list to the callback name, with its info when withInfo.
void deliver(lua_State* L, const std::vector<Touch>& list, const char* name, bool withInfo) {
    const bool listening = pushCallback(L, name);
    if (listening) lua_pop(L, 1);
    for (const Touch& touch : list) {
        if (!listening || !pushCallback(L, name)) break;
        if (!pushParty(L, touch.a)) {
            lua_pop(L, 1);
            continue;
        }
        if (!pushParty(L, touch.b)) {
            lua_pop(L, 2);
            continue;
        }
        if (withInfo) pushTouchInfo(L, touch);
        freshBudget(L);
        lua_call(L, withInfo ? 3 : 2, 0);
    }
}

void deliverTouches(lua_State* L) {
    // Taken first: the callbacks may spawn and so make new touches for the next step. Held in
    // module state, never on this stack, which an error unwinds without destructors.
    deliveredTouches.clear();
    std::swap(deliveredTouches, touchListener.touches);
    deliveredUntouches.clear();
    std::swap(deliveredUntouches, touchListener.untouches);
    deliver(L, deliveredTouches, "on_touch", true);
    deliver(L, deliveredUntouches, "on_untouch", false);
}

int dispatchTouches(lua_State* L) {
    deliverTouches(L);
    return 0;
}

int dispatchStep(lua_State* L) {
    // Timers made while these run wait for the next step, so a timer renewing itself with
    // after(0) cannot hold the step.
    const int64_t firstLater = runtime.nextTimerOrder;
    while (!runtime.dueOrder.empty()) {
        const Timer next = runtime.dueOrder.front();
        if (next.due > runtime.steps || next.order >= firstLater) break;
        std::pop_heap(runtime.dueOrder.begin(), runtime.dueOrder.end(), firesLater);
        runtime.dueOrder.pop_back();
        runtime.timers.erase(next.order);
        const int ref = next.ref;
        lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
        luaL_unref(L, LUA_REGISTRYINDEX, ref);
        freshBudget(L);
        lua_call(L, 0, 0);
    }
    if (pushCallback(L, "on_step")) {
        freshBudget(L);
        lua_call(L, 0, 0);
    }
    // Ends of touches are collected only for a script that hears them.
    touchListener.hearEnds = pushCallback(L, "on_untouch");
    if (touchListener.hearEnds) lua_pop(L, 1);
    return 0;
}

// on_key(name, down): a handler of one parameter, written before releases were told, hears
// presses only.
int dispatchKey(lua_State* L) {
    if (!pushCallback(L, "on_key")) return 0;
    const bool down = lua_tointeger(L, 1) != 0;
    if (!down) {
        lua_Debug ar;
        lua_pushvalue(L, -1);
        lua_getinfo(L, ">u", &ar);
        if (ar.nparams < 2 && !ar.isvararg) return 0;
    }
    lua_pushvalue(L, 4);
    lua_pushboolean(L, down);
    lua_call(L, 2, 0);
    return 0;
}

// on_reload(state) with the table the old run's save() returned.
int dispatchReload(lua_State* L) {
    if (!pushCallback(L, "on_reload")) return 0;
    pushCarry(L, carried);
    lua_call(L, 1, 0);
    return 0;
}

// Calls save() and encodes what it returns into carried; carrying says whether there is one.
int dispatchSave(lua_State* L) {
    carrying = false;
    carryProblem = nullptr;
    if (!pushCallback(L, "save")) return 0;
    lua_call(L, 0, 1);
    carrying = encodeCarry(L, -1, carried, carryProblem);
    return 0;
}

int dispatchClick(lua_State* L) {
    if (!pushCallback(L, "on_click")) return 0;
    lua_pushnumber(L, lua_tonumber(L, 2));
    lua_pushnumber(L, lua_tonumber(L, 3));
    lua_call(L, 2, 0);
    return 0;
}

int openApi(lua_State* L) {
    openGameApi(L);
    lua_getglobal(L, "game");
    addFinishFunction(L);
    lua_pop(L, 1);
    return 0;
}

void unloadScript() {
    closeState();
    setLightmapAmbient(LightmapAmbient());  // the next level starts in the default dark
    resetWorldGravity();  // and with the written gravity
    runtime = ScriptRuntime();
}

// A new sandbox with the game API and the chunk of source loaded but not run; nullptr with the
// message when it does not compile (or the state cannot be made). Making the API touches
// nothing in the game, so a running script is undisturbed.
lua_State* compile(const std::vector<uint8_t>& source, std::string& message) {
    lua_State* L = openSandbox(kScriptFileName);
    if (!L) {
        message = std::string(kScriptFileName) + ": script out of memory";
        return nullptr;
    }
    lua_pushcfunction(L, openApi);
    if (callSandboxed(L, 0, message) != ScriptFailure::None ||
        !loadSandboxChunk(L, reinterpret_cast<const char*>(source.data()), source.size(), message)) {
        closeSandbox(L);
        return nullptr;
    }
    return L;
}

// The running script's save(), if it has one, into carried.
void saveForReload() {
    carrying = false;
    if (!runtime.L) return;
    if (!runProtected(dispatchSave)) {
        carrying = false;
        return;
    }
    if (!carrying && carryProblem) showFailure(std::string(kScriptFileName) + ": save(): " + carryProblem + "; nothing carried");
}

bool loadScript(const std::vector<uint8_t>& source, bool hot) {
    std::string message;
    lua_State* fresh = compile(source, message);
    if (!fresh && hot && runtime.L) {
        // A half-typed edit: the level plays on as it was.
        showFailure(message + " (the level stays as it was)");
        return false;
    }
    if (hot) saveForReload();
    removeRunLeftovers();
    unloadScript();
    runtime.loaded = true;
    if (!fresh) {
        fail(message);
        return true;
    }
    runtime.L = fresh;
    const int32_t first = nextActorId();
    const ScriptFailure failure = callSandboxed(runtime.L, 0, message);
    noteOwned(first);
    if (failure != ScriptFailure::None) {
        fail(message);
        return true;
    }
    if (!runProtected(dispatchStart)) return true;
    if (hot && carrying && !runProtected(dispatchReload)) return true;
    if (!levelKeys().empty()) showMessage("h: help");
    return true;
}

void stepScript() {
    if (!runtime.L) return;
    ++runtime.steps;
    creditSandbox(runtime.L);
    touchListener.stepDone();
    if ((!touchListener.touches.empty() || !touchListener.untouches.empty()) &&
        !runProtected(dispatchTouches))
        return;
    if (!runProtected(dispatchStep)) return;
    // The parts of this step's world step: ends are collected only for a script that hears them.
    refreshQuadIndex();
    listenToContacts(&touchListener);
    if (b2World* world = getWorld()) world->SetContactFilter(&contactCap);
}

void keyToScript(const char* name, bool down) { runProtected(dispatchKey, down ? 1 : 0, 0.0, 0.0, name); }

void clickToScript(Vec2f world) { runProtected(dispatchClick, 0, world.x, world.y); }

void hashScript(StateHasher& h) {
    if (!runtime.loaded) return;
    h.add(static_cast<uint8_t>(0x5c));
    h.add(runtime.stopped);
    h.add(runtime.steps);
    h.add(static_cast<uint64_t>(touchListener.touches.size()));
    if (!touchListener.untouches.empty()) h.add(static_cast<uint64_t>(touchListener.untouches.size()));
    h.add(static_cast<uint64_t>(runtime.timers.size()));
    for (const auto& [order, timer] : runtime.timers) {
        h.add(timer.due);
        h.add(order);
    }
}
}  // namespace

// No map.lua any more: what its last run made goes with it.
void dropScript() {
    removeRunLeftovers();
    unloadScript();
}

void installScripting() {
    installScriptHooks(
        ScriptHooks{loadScript, dropScript, stepScript, keyToScript, clickToScript, hashScript});
}

bool scriptRunning() { return runtime.L != nullptr; }
bool scriptStopped() { return runtime.stopped; }
int64_t scriptStepCount() { return runtime.steps; }
size_t scriptMemoryInUse() { return runtime.L ? sandboxLimits(runtime.L).used : 0; }

int64_t scriptSteps() { return runtime.steps; }

void addScriptTimer(lua_State* L, int64_t dueStep) {
    if (runtime.timers.size() >= kMaxTimers)
        luaL_error(L, "too many timers pending (%d): let some fire first", static_cast<int>(kMaxTimers));
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    const Timer timer{dueStep, runtime.nextTimerOrder++, ref};
    runtime.timers.emplace(timer.order, timer);
    runtime.dueOrder.push_back(timer);
    std::push_heap(runtime.dueOrder.begin(), runtime.dueOrder.end(), firesLater);
}
