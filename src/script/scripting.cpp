// scripting.cpp: the one running script: loading it fresh, its timers and callbacks at their
// fixed points, and stopping it for good on the first failure.
#include "script/scripting.h"

#include <box2d/box2d.h>

#include <algorithm>
#include <string>
#include <utility>

#include "actors/actor.h"
#include "actors/body_actor.h"
#include "lighting/lightmap.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "game/level_script.h"
#include "game/sandbox.h"
#include "script/lua_sandbox.h"
#include "script/script_runtime.h"

namespace {
struct Timer {
    int64_t due = 0;    // step count at which it fires
    int64_t order = 0;  // creation order, for timers due at the same step
    int ref = LUA_NOREF;
};

// One side of a touch: an actor by id, or a map quad by its 1-based number.
struct Party {
    bool quad = false;
    int32_t id = 0;
};

struct Touch {
    Party a, b;
};

// Collects the touches that begin during a world step, named at once (the bodies may be gone by
// the time the script hears of them); the next step's callbacks deliver them.
class TouchListener final : public b2ContactListener {
public:
    void BeginContact(b2Contact* contact) override {
        Party a, b;
        if (name(contact->GetFixtureA(), a) && name(contact->GetFixtureB(), b)) touches.push_back({a, b});
    }
    void forgetBodies() { indexed = false; }

    std::vector<Touch> touches;

private:
    // A map quad is its own fixture on a body the quads share; an actor is its body.
    bool name(const b2Fixture* fixture, Party& party) {
        if (!indexed) index();
        return find(fixture, party) || find(fixture->GetBody(), party);
    }
    bool find(const void* key, Party& party) const {
        const auto it = std::lower_bound(owners.begin(), owners.end(), std::make_pair(key, Party()),
                                         [](const auto& x, const auto& y) { return x.first < y.first; });
        if (it == owners.end() || it->first != key) return false;
        party = it->second;
        return true;
    }
    // Looked up by address only to name a body or fixture; nothing is ordered by address.
    void index() {
        owners.clear();
        for (const auto& actor : allActors())
            if (const auto* physical = dynamic_cast<const BodyActor*>(actor.get()))
                owners.push_back({physical->body, Party{false, actor->id}});
        const auto& quads = mapQuads();
        for (size_t i = 0; i < quads.size(); ++i)
            if (const b2Fixture* fixture = quadFixture(quads[i]))
                owners.push_back({fixture, Party{true, static_cast<int32_t>(i + 1)}});
        std::sort(owners.begin(), owners.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
        indexed = true;
    }
    std::vector<std::pair<const void*, Party>> owners;
    bool indexed = false;
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
    std::vector<Timer> timers;
};
ScriptRuntime runtime;
TouchListener touchListener;
ContactCap contactCap;
b2ContactFilter plainFilter;  // Box2D's own rule, put back when the script goes
std::vector<Touch> deliveredTouches;

void listenForTouches(bool on) {
    touchListener.touches.clear();
    touchListener.forgetBodies();
    listenToContacts(on ? &touchListener : nullptr);
    if (b2World* world = getWorld())
        world->SetContactFilter(on ? static_cast<b2ContactFilter*>(&contactCap) : &plainFilter);
}

void closeState() {
    if (runtime.L) listenForTouches(false);
    closeSandbox(runtime.L);
    runtime.L = nullptr;
    runtime.timers.clear();
}

void fail(const std::string& message) {
    showFailure(message);
    closeState();
    runtime.stopped = true;
}

// Every callback goes through one of the dispatchers below, called protected with (a, x, y),
// so even looking a callback up cannot raise outside a protected call.
bool runProtected(lua_CFunction dispatcher, int64_t a = 0, double x = 0.0, double y = 0.0) {
    if (!runtime.L) return false;
    lua_State* L = runtime.L;
    lua_pushcfunction(L, dispatcher);
    lua_pushinteger(L, a);
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    std::string message;
    if (callSandboxed(L, 3, message) == ScriptFailure::None) return true;
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

bool pushParty(lua_State* L, const Party& party) {
    if (!party.quad) return pushActorHandle(L, party.id);
    lua_pushinteger(L, party.id);
    return true;
}

void deliverTouches(lua_State* L) {
    // Taken first: the callbacks may spawn and so make new touches for the next step. Held in
    // module state, never on this stack, which an error unwinds without destructors.
    std::vector<Touch>& touches = deliveredTouches;
    touches.clear();
    std::swap(touches, touchListener.touches);
    const bool listening = pushCallback(L, "on_touch");
    if (listening) lua_pop(L, 1);
    for (const Touch& touch : touches) {
        if (!listening || !pushCallback(L, "on_touch")) break;
        if (!pushParty(L, touch.a)) {
            lua_pop(L, 1);
            continue;
        }
        if (!pushParty(L, touch.b)) {
            lua_pop(L, 2);
            continue;
        }
        freshBudget(L);
        lua_call(L, 2, 0);
    }
}

int dispatchTouches(lua_State* L) {
    deliverTouches(L);
    return 0;
}

int dispatchStep(lua_State* L) {
    // Timers made while these run wait for the next step, so a timer renewing itself with
    // after(0) cannot hold the step.
    const int64_t firstLater = runtime.nextTimerOrder;
    for (;;) {
        auto due = runtime.timers.end();
        for (auto it = runtime.timers.begin(); it != runtime.timers.end(); ++it) {
            if (it->due > runtime.steps || it->order >= firstLater) continue;
            if (due == runtime.timers.end() || it->due < due->due ||
                (it->due == due->due && it->order < due->order))
                due = it;
        }
        if (due == runtime.timers.end()) break;
        const int ref = due->ref;
        runtime.timers.erase(due);
        lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
        luaL_unref(L, LUA_REGISTRYINDEX, ref);
        freshBudget(L);
        lua_call(L, 0, 0);
    }
    if (pushCallback(L, "on_step")) {
        freshBudget(L);
        lua_call(L, 0, 0);
    }
    return 0;
}

int dispatchKey(lua_State* L) {
    if (!pushCallback(L, "on_key")) return 0;
    const char key = static_cast<char>(lua_tointeger(L, 1));
    lua_pushlstring(L, &key, 1);
    lua_call(L, 1, 0);
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
    return 0;
}

void unloadScript() {
    closeState();
    setLightmapAmbient(LightmapAmbient());  // the next level starts in the default dark
    runtime = ScriptRuntime();
}

void loadScript(const std::vector<uint8_t>& source) {
    unloadScript();
    runtime.loaded = true;
    runtime.L = openSandbox(kScriptFileName);
    if (!runtime.L) {
        fail(std::string(kScriptFileName) + ": script out of memory");
        return;
    }
    if (!runProtected(openApi)) return;
    std::string message;
    if (!loadSandboxChunk(runtime.L, reinterpret_cast<const char*>(source.data()), source.size(),
                          message)) {
        fail(message);
        return;
    }
    if (callSandboxed(runtime.L, 0, message) != ScriptFailure::None) {
        fail(message);
        return;
    }
    runProtected(dispatchStart);
}

void stepScript() {
    if (!runtime.L) return;
    ++runtime.steps;
    if (!touchListener.touches.empty() && !runProtected(dispatchTouches)) return;
    if (!runProtected(dispatchStep)) return;
    // The touches of this step's world step, named against the actors and quads as they are now.
    touchListener.forgetBodies();
    listenToContacts(&touchListener);
    if (b2World* world = getWorld()) world->SetContactFilter(&contactCap);
}

void keyToScript(unsigned char key) { runProtected(dispatchKey, key); }

void clickToScript(Vec2f world) { runProtected(dispatchClick, 0, world.x, world.y); }

void hashScript(StateHasher& h) {
    if (!runtime.loaded) return;
    h.add(static_cast<uint8_t>(0x5c));
    h.add(runtime.stopped);
    h.add(runtime.steps);
    h.add(static_cast<uint64_t>(touchListener.touches.size()));
    h.add(static_cast<uint64_t>(runtime.timers.size()));
    for (const Timer& timer : runtime.timers) {
        h.add(timer.due);
        h.add(timer.order);
    }
}
}  // namespace

void installScripting() {
    installScriptHooks(
        ScriptHooks{loadScript, unloadScript, stepScript, keyToScript, clickToScript, hashScript});
}

bool scriptRunning() { return runtime.L != nullptr; }
bool scriptStopped() { return runtime.stopped; }
int64_t scriptStepCount() { return runtime.steps; }
size_t scriptMemoryInUse() { return runtime.L ? sandboxLimits(runtime.L).used : 0; }

int64_t scriptSteps() { return runtime.steps; }

void addScriptTimer(lua_State* L, int64_t dueStep) {
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    runtime.timers.push_back(Timer{dueStep, runtime.nextTimerOrder++, ref});
}
