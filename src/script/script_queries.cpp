// script_queries.cpp: what a script may ask of the world: rays, boxes, points, and gravity.
// Answers come in a fixed order (actors by creation, then map quads by number), never in the
// order Box2D's tree happens to hold them.
#include <box2d/box2d.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/units.h"
#include "map/quad_index.h"
#include "physics/physics_world.h"
#include "script/script_fields.h"
#include "script/script_handles.h"
#include "script/script_parties.h"
#include "script/script_runtime.h"

namespace {
constexpr size_t kMaxAnswers = 100000;  // a query over a huge map is refused, not truncated

struct Hit {
    Party party;
    b2Vec2 point, normal;
    float fraction = 0.0f;
};

// Module state, never locals: an error may unwind the call while they hold answers.
std::vector<Hit> hits;
std::vector<Party> parties;
bool tooMany = false;

class RayHits final : public b2RayCastCallback {
public:
    float ReportFixture(b2Fixture* fixture, const b2Vec2& point, const b2Vec2& normal, float fraction) override {
        Party party;
        if (fixture->IsSensor() || !partyOf(fixture, party)) return -1.0f;  // passed through
        if (hits.size() >= kMaxAnswers) {
            tooMany = true;
            return 0.0f;
        }
        hits.push_back(Hit{party, point, normal, fraction});
        return 1.0f;  // every hit, ordered afterwards
    }
};

class BoxParties final : public b2QueryCallback {
public:
    explicit BoxParties(const b2AABB& box, const b2Vec2* point) : box_(box), point_(point) {}
    bool ReportFixture(b2Fixture* fixture) override {
        Party party;
        if (!partyOf(fixture, party)) return true;
        // The tree's boxes are fattened: test the fixture itself.
        if (point_ ? !fixture->TestPoint(*point_) : !b2TestOverlap(fixture->GetAABB(0), box_)) return true;
        if (parties.size() >= kMaxAnswers) {
            tooMany = true;
            return false;
        }
        parties.push_back(party);
        return true;
    }

private:
    b2AABB box_;
    const b2Vec2* point_;
};

bool hitBefore(const Hit& a, const Hit& b) {
    return a.fraction != b.fraction ? a.fraction < b.fraction : a.party < b.party;
}

void castRay(lua_State* L) {
    const float x1 = checkCoordinate(L, 1), y1 = checkCoordinate(L, 2);
    const float x2 = checkCoordinate(L, 3), y2 = checkCoordinate(L, 4);
    hits.clear();
    tooMany = false;
    b2World* world = getWorld();
    const b2Vec2 from(toMetres(x1), toMetres(y1)), to(toMetres(x2), toMetres(y2));
    if (!world || b2DistanceSquared(from, to) <= 0.0f) return;
    refreshQuadIndex();
    RayHits callback;
    world->RayCast(&callback, from, to);
    if (tooMany) luaL_error(L, "the ray crosses more than %d things", static_cast<int>(kMaxAnswers));
    std::sort(hits.begin(), hits.end(), hitBefore);
}

// party, x, y, nx, ny, fraction
int pushHit(lua_State* L, const Hit& hit) {
    if (!pushParty(L, hit.party.quad, hit.party.id)) lua_pushnil(L);
    lua_pushnumber(L, toUnits(hit.point.x));
    lua_pushnumber(L, toUnits(hit.point.y));
    lua_pushnumber(L, hit.normal.x);
    lua_pushnumber(L, hit.normal.y);
    lua_pushnumber(L, hit.fraction);
    return 6;
}

int raycast(lua_State* L) {
    checkArgumentCount(L, 4, "game.raycast");
    castRay(L);
    if (hits.empty()) {
        lua_pushnil(L);
        return 1;
    }
    return pushHit(L, hits.front());
}

int raycastAll(lua_State* L) {
    checkArgumentCount(L, 4, "game.raycast_all");
    castRay(L);
    lua_createtable(L, static_cast<int>(hits.size()), 0);
    static const char* const kNames[] = {"party", "x", "y", "nx", "ny", "fraction"};
    lua_Integer n = 0;
    for (size_t i = 0; i < hits.size(); ++i) {
        lua_createtable(L, 0, 6);
        pushHit(L, hits[i]);
        for (int k = 5; k >= 0; --k) lua_setfield(L, -2 - k, kNames[k]);
        lua_rawseti(L, -2, ++n);
    }
    return 1;
}

int pushParties(lua_State* L) {
    std::sort(parties.begin(), parties.end());
    parties.erase(std::unique(parties.begin(), parties.end()), parties.end());
    lua_createtable(L, static_cast<int>(parties.size()), 0);
    lua_Integer n = 0;
    for (size_t i = 0; i < parties.size(); ++i)
        if (pushParty(L, parties[i].quad, parties[i].id)) lua_rawseti(L, -2, ++n);
    return 1;
}

void search(lua_State* L, const b2AABB& box, const b2Vec2* point) {
    parties.clear();
    tooMany = false;
    b2World* world = getWorld();
    if (!world) return;
    refreshQuadIndex();
    BoxParties callback(box, point);
    world->QueryAABB(&callback, box);
    if (tooMany) luaL_error(L, "more than %d things there", static_cast<int>(kMaxAnswers));
}

int query(lua_State* L) {
    checkArgumentCount(L, 4, "game.query");
    const float x1 = checkCoordinate(L, 1), y1 = checkCoordinate(L, 2);
    const float x2 = checkCoordinate(L, 3), y2 = checkCoordinate(L, 4);
    b2AABB box;
    box.lowerBound.Set(toMetres(std::min(x1, x2)), toMetres(std::min(y1, y2)));
    box.upperBound.Set(toMetres(std::max(x1, x2)), toMetres(std::max(y1, y2)));
    search(L, box, nullptr);
    return pushParties(L);
}

int at(lua_State* L) {
    checkArgumentCount(L, 2, "game.at");
    const b2Vec2 point(toMetres(checkCoordinate(L, 1)), toMetres(checkCoordinate(L, 2)));
    b2AABB box;
    box.lowerBound = point;
    box.upperBound = point;
    search(L, box, &point);
    return pushParties(L);
}

// Units per second squared, y down.
int gravity(lua_State* L) {
    checkArgumentCount(L, 2, "game.gravity");
    b2World* world = getWorld();
    if (lua_gettop(L) == 0) {
        const b2Vec2 g = world ? world->GetGravity() : b2Vec2(0.0f, 0.0f);
        lua_pushnumber(L, toUnits(g.x));
        lua_pushnumber(L, toUnits(g.y));
        return 2;
    }
    const float gx = checkCoordinate(L, 1, 100000.0), gy = checkCoordinate(L, 2, 100000.0);
    if (world) setWorldGravity(b2Vec2(toMetres(gx), toMetres(gy)));
    return 0;
}

const luaL_Reg kQueryFunctions[] = {
    {"raycast", raycast}, {"raycast_all", raycastAll}, {"query", query},
    {"at", at},           {"gravity", gravity},        {nullptr, nullptr},
};
}  // namespace

void openQueryApi(lua_State* L) { luaL_setfuncs(L, kQueryFunctions, 0); }
