// script_bodies.cpp: game.body and game.chain, and the handle methods that reach a body's
// motion and material.
//
// Lua unwinds errors with longjmp: no C++ object with a destructor is alive across a call that
// can raise. Shapes are read into module state, never into locals with a destructor.
#include <box2d/box2d.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "core/units.h"
#include "physics/physics_world.h"
#include "game/host.h"
#include "render/png_image.h"
#include "render/texture.h"
#include "script/script_actors.h"
#include "script/script_fields.h"
#include "script/script_handles.h"

namespace {
constexpr int32_t kMaxChainPoints = 1000;
constexpr double kMaxDensity = 100000.0;
constexpr double kMaxFactor = 1000.0;  // friction, restitution, damping, gravity scale
constexpr double kMinEdge = 0.2;       // units: Box2D merges corners closer than about 0.05

// Read into here, never into a local: an error may unwind the call at any field.
ScriptBodyShape made;
std::vector<Vec2f> chainPoints;

const char* const kBodyFields[] = {
    "x", "y", "w", "h", "r", "shape", "points", "type", "dynamic", "angle", "frame", "sheet",
    "light", "shadow", "density", "friction", "restitution", "linear_damping",
    "angular_damping", "gravity_scale", "fixed_rotation", "bullet", "sensor", "category", "mask",
    "group", "one_way", "frames", nullptr};
// What set{} may change while playing: the material, the sensor and the filter.
const char* const kMaterialFields[] = {
    "density", "friction", "restitution", "linear_damping", "angular_damping", "gravity_scale",
    "fixed_rotation", "bullet", "sensor", "category", "mask", "group", "one_way", nullptr};
const char* const kChainFields[] = {"points", "loop", "friction", "restitution", "shadow", nullptr};

double cross(Vec2f o, Vec2f a, Vec2f b) {
    return (static_cast<double>(a.x) - o.x) * (static_cast<double>(b.y) - o.y) -
           (static_cast<double>(a.y) - o.y) * (static_cast<double>(b.x) - o.x);
}

// Why the corners cannot make a Box2D polygon, or nullptr when they can.
const char* polygonProblem(const std::vector<Vec2f>& points) {
    const size_t n = points.size();
    if (n < 3) return "a polygon needs at least 3 points";
    if (n > static_cast<size_t>(b2_maxPolygonVertices)) return "too many points (at most 8)";
    double area = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const Vec2f a = points[i], b = points[(i + 1) % n];
        if (std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y) < kMinEdge)
            return "too small: two points closer than 0.2 units";
        area += cross(Vec2f{}, a, b);
    }
    // Every corner on the inner side of every edge (or on it), one way round: convex, and not
    // crossing itself.
    bool left = true, right = true;
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            const double side = cross(points[i], points[(i + 1) % n], points[j]);
            left = left && side >= -1e-6;
            right = right && side <= 1e-6;
        }
    }
    if (!left && !right) return "not convex";
    if (std::fabs(area) * 0.5 < kMinSize * kMinSize) return "too small: no area";
    return nullptr;
}

// A list of numbers x1, y1, x2, y2, ... in field name, into points; an error naming call.
void readPoints(lua_State* L, int index, const char* call, const char* name, size_t most,
                std::vector<Vec2f>& points) {
    points.clear();
    if (lua_getfield(L, index, name) != LUA_TTABLE) luaL_error(L, "%s: field '%s' must be a list of numbers x1, y1, x2, y2, ...", call, name);
    const lua_Integer count = luaL_len(L, -1);
    if (count % 2 != 0) luaL_error(L, "%s: field '%s' needs an even count of numbers", call, name);
    if (count / 2 > static_cast<lua_Integer>(most))
        luaL_error(L, "%s: too many points in '%s' (at most %d)", call, name, static_cast<int>(most));
    for (lua_Integer i = 1; i <= count; i += 2) {
        lua_geti(L, -1, i);
        lua_geti(L, -2, i + 1);
        int xOk = 0, yOk = 0;
        const double x = lua_tonumberx(L, -2, &xOk), y = lua_tonumberx(L, -1, &yOk);
        if (!xOk || !yOk || !std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > kMaxCoordinate ||
            std::fabs(y) > kMaxCoordinate)
            luaL_error(L, "%s: field '%s' holds a point that is not two finite numbers", call, name);
        lua_pop(L, 2);
        points.push_back(Vec2f{static_cast<float>(x), static_cast<float>(y)});
    }
    lua_pop(L, 1);
}

uint16_t categoryBit(lua_State* L, double category, const char* call, const char* name) {
    if (category != std::floor(category) || category < 1 || category > 16)
        luaL_error(L, "%s: field '%s' must hold categories from 1 to 16", call, name);
    return static_cast<uint16_t>(1u << (static_cast<int>(category) - 1));
}

// The material and filter fields present in the table at index, over what m holds.
void readMaterial(lua_State* L, int index, const char* call, BodyMaterial& m) {
    m.density = static_cast<float>(numberField(L, index, call, "density", m.density, 0.0, kMaxDensity));
    m.friction = static_cast<float>(numberField(L, index, call, "friction", m.friction, 0.0, kMaxFactor));
    m.restitution = static_cast<float>(numberField(L, index, call, "restitution", m.restitution, 0.0, kMaxFactor));
    m.linearDamping = static_cast<float>(numberField(L, index, call, "linear_damping", m.linearDamping, 0.0, kMaxFactor));
    m.angularDamping = static_cast<float>(numberField(L, index, call, "angular_damping", m.angularDamping, 0.0, kMaxFactor));
    m.gravityScale = static_cast<float>(numberField(L, index, call, "gravity_scale", m.gravityScale, -kMaxFactor, kMaxFactor));
    m.fixedRotation = booleanField(L, index, call, "fixed_rotation", m.fixedRotation);
    m.bullet = booleanField(L, index, call, "bullet", m.bullet);
    m.sensor = booleanField(L, index, call, "sensor", m.sensor);
    m.oneWay = booleanField(L, index, call, "one_way", m.oneWay);
    if (hasField(L, index, "category"))
        m.category = categoryBit(L, numberField(L, index, call, "category", 1.0, 1.0, 16.0), call, "category");
    if (lua_getfield(L, index, "mask") != LUA_TNIL) {
        if (!lua_istable(L, -1)) luaL_error(L, "%s: field 'mask' must be a list of categories", call);
        uint16_t mask = 0;
        const lua_Integer count = luaL_len(L, -1);
        if (count > 16) luaL_error(L, "%s: field 'mask' must hold categories from 1 to 16", call);
        for (lua_Integer i = 1; i <= count; ++i) {
            lua_geti(L, -1, i);
            int ok = 0;
            const double c = lua_tonumberx(L, -1, &ok);
            if (!ok) luaL_error(L, "%s: field 'mask' must hold categories from 1 to 16", call);
            mask = static_cast<uint16_t>(mask | categoryBit(L, c, call, "mask"));
            lua_pop(L, 1);
        }
        m.mask = mask;
    }
    lua_pop(L, 1);
    const double group = numberField(L, index, call, "group", m.group, -32768.0, 32767.0);
    if (group != std::floor(group)) luaL_error(L, "%s: field 'group' must be a whole number", call);
    m.group = static_cast<int16_t>(group);
}

BodyMotion readMotion(lua_State* L, const char* call) {
    const char* type = stringField(L, 1, call, "type", nullptr);
    if (!type) return booleanField(L, 1, call, "dynamic", true) ? BodyMotion::Dynamic : BodyMotion::Static;
    if (hasField(L, 1, "dynamic")) luaL_error(L, "%s: give 'type' or 'dynamic', not both", call);
    if (std::strcmp(type, "dynamic") == 0) return BodyMotion::Dynamic;
    if (std::strcmp(type, "static") == 0) return BodyMotion::Static;
    if (std::strcmp(type, "kinematic") == 0) return BodyMotion::Kinematic;
    return static_cast<BodyMotion>(luaL_error(L, "%s: field 'type' must be \"dynamic\", \"static\" or \"kinematic\"", call));
}

void checkOneWay(lua_State* L, const char* call, BodyMotion motion, const BodyMaterial& m) {
    if (m.oneWay && motion == BodyMotion::Dynamic)
        luaL_error(L, "%s: one_way needs a static or kinematic body", call);
}

// Half the size of the box any turn of the shape stays in.
float reachOf(const ScriptBodyShape& shape) {
    if (shape.shape == BodyShape::Circle) return shape.radius;
    if (shape.shape == BodyShape::Box) return 0.5f * std::hypot(shape.w, shape.h);
    float reach = 0.0f;
    for (const Vec2f& p : shape.points) reach = std::max(reach, std::hypot(p.x, p.y));
    return reach;
}

// Module state for a level sheet being read: an error may unwind the call at any point.
std::string sheetFile;
std::vector<uint8_t> sheetBytes;
std::string sheetProblem;
DecodedImage sheetImage;

bool isPngName(const char* name) {
    const size_t n = std::strlen(name);
    return n > 4 && std::strcmp(name + n - 4, ".png") == 0;
}

constexpr int32_t kMaxLevelSheetSide = 2048;  // pixels
constexpr int32_t kMaxSheetFrames = 64;        // along each side

// The sheet named: one of the game's, or a PNG of the level's own folder read once per run of
// the script (frames = {columns, rows}, default one frame); an error naming the file otherwise.
Texture* sheetFor(lua_State* L, const char* call, const char* name) {
    int32_t columns = 1, rows = 1;
    const bool framed = hasField(L, 1, "frames");
    if (framed) {
        lua_getfield(L, 1, "frames");
        if (!lua_istable(L, -1)) luaL_error(L, "%s: field 'frames' must be a list {columns, rows}", call);
        lua_geti(L, -1, 1);
        lua_geti(L, -2, 2);
        int cOk = 0, rOk = 0;
        const lua_Integer c = lua_tointegerx(L, -2, &cOk), r = lua_tointegerx(L, -1, &rOk);
        if (!cOk || !rOk || c < 1 || r < 1 || c > kMaxSheetFrames || r > kMaxSheetFrames)
            luaL_error(L, "%s: field 'frames' must be a list {columns, rows} of 1 to %d", call, static_cast<int>(kMaxSheetFrames));
        columns = static_cast<int32_t>(c);
        rows = static_cast<int32_t>(r);
        lua_pop(L, 3);
    }
    Texture* sheet = findTexture(name);
    if (sheet && !sheet->levelSheet) {
        if (framed) luaL_error(L, "%s: frames is for a level's own sheet; '%s' is the game's", call, name);
        return sheet;
    }
    if (sheet) {
        if (framed && (sheet->columns != columns || sheet->rows != rows))
            luaL_error(L, "%s: '%s' is already cut into %d x %d frames", call, name, static_cast<int>(sheet->columns),
                       static_cast<int>(sheet->rows));
        return sheet;
    }
    if (!isPngName(name)) luaL_error(L, "%s: no sheet named '%s' (a level's own is a .png beside map.lua)", call, name);
    sheetFile = name;
    bool ok = host().readLevelFile && host().readLevelFile(sheetFile, sheetBytes, sheetProblem);
    if (ok) ok = decodePng(sheetBytes.data(), sheetBytes.size(), PngLimits{kMaxLevelSheetSide, kMaxDecodedImageBytes},
                           sheetImage, sheetProblem);
    sheetBytes.clear();
    if (ok && (sheetImage.width < columns || sheetImage.height < rows)) {
        ok = false;
        sheetProblem = "fewer pixels than frames";
    }
    if (!ok) {
        sheetImage = DecodedImage();
        luaL_error(L, "%s: %s: %s", call, sheetFile.c_str(), sheetProblem.c_str());
    }
    Texture& added = addLevelSheet(sheetFile, std::move(sheetImage.pixels), sheetImage.width, sheetImage.height,
                                   sheetImage.channels, columns, rows);
    sheetImage = DecodedImage();
    return &added;
}

int spawnBody(lua_State* L) {
    checkArgumentCount(L, 1, "game.body");
    constexpr const char* call = "game.body";
    checkKnownFields(L, 1, call, kBodyFields);
    made = ScriptBodyShape();
    made.x = static_cast<float>(numberField(L, 1, call, "x", 0.0, -kMaxCoordinate, kMaxCoordinate));
    made.y = static_cast<float>(numberField(L, 1, call, "y", 0.0, -kMaxCoordinate, kMaxCoordinate));
    made.angle = static_cast<float>(numberField(L, 1, call, "angle", 0.0, -kMaxCoordinate, kMaxCoordinate));
    const char* shape = stringField(L, 1, call, "shape", "box");
    if (std::strcmp(shape, "box") == 0) {
        made.shape = BodyShape::Box;
        made.w = static_cast<float>(numberField(L, 1, call, "w", 32.0, kMinSize, kMaxSize));
        made.h = static_cast<float>(numberField(L, 1, call, "h", 32.0, kMinSize, kMaxSize));
    } else if (std::strcmp(shape, "circle") == 0) {
        made.shape = BodyShape::Circle;
        made.radius = static_cast<float>(numberField(L, 1, call, "r", 16.0, kMinSize, kMaxSize));
    } else if (std::strcmp(shape, "polygon") == 0) {
        made.shape = BodyShape::Polygon;
        readPoints(L, 1, call, "points", 64, made.points);
        if (const char* problem = polygonProblem(made.points)) luaL_error(L, "%s: %s", call, problem);
        for (const Vec2f& p : made.points)
            if (std::fabs(p.x) > kMaxSize || std::fabs(p.y) > kMaxSize)
                luaL_error(L, "%s: a polygon point lies more than %d units from the centre", call, static_cast<int>(kMaxSize));
    } else {
        luaL_error(L, "%s: field 'shape' must be \"box\", \"circle\" or \"polygon\"", call);
    }
    // Fields of another shape are a mistake worth naming.
    if (made.shape != BodyShape::Box && (hasField(L, 1, "w") || hasField(L, 1, "h")))
        luaL_error(L, "%s: w and h are a box's; a %s has %s", call, shape, made.shape == BodyShape::Circle ? "r" : "points");
    if (made.shape != BodyShape::Circle && hasField(L, 1, "r")) luaL_error(L, "%s: r is a circle's", call);
    if (made.shape != BodyShape::Polygon && hasField(L, 1, "points")) luaL_error(L, "%s: points are a polygon's", call);
    made.motion = readMotion(L, call);
    readMaterial(L, 1, call, made.material);
    checkOneWay(L, call, made.motion, made.material);
    made.frame = static_cast<int32_t>(numberField(L, 1, call, "frame", 0.0, 0.0, kMaxFrame));
    made.light = booleanField(L, 1, call, "light", false);
    made.shadow = booleanField(L, 1, call, "shadow", false);
    const char* sheetName = stringField(L, 1, call, "sheet", "image9.png");
    made.sheet = sheetFor(L, call, sheetName);
    checkRoom(L);
    const float reach = reachOf(made);
    checkCrowding(L, made.x, made.y, reach, reach);
    return pushHandle(L, *spawnActor<ScriptBody>(made));
}

int spawnChain(lua_State* L) {
    checkArgumentCount(L, 1, "game.chain");
    constexpr const char* call = "game.chain";
    checkKnownFields(L, 1, call, kChainFields);
    readPoints(L, 1, call, "points", kMaxChainPoints, chainPoints);
    const bool loop = booleanField(L, 1, call, "loop", false);
    const size_t least = loop ? 3 : 2;
    if (chainPoints.size() < least) luaL_error(L, "%s: a %s needs at least %d points", call, loop ? "loop" : "chain", static_cast<int>(least));
    const size_t edges = loop ? chainPoints.size() : chainPoints.size() - 1;
    for (size_t i = 0; i < edges; ++i) {
        const Vec2f a = chainPoints[i], b = chainPoints[(i + 1) % chainPoints.size()];
        if (std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y) < kMinEdge)
            luaL_error(L, "%s: points %d and %d are closer than 0.2 units", call, static_cast<int>(i + 1),
                       static_cast<int>((i + 1) % chainPoints.size() + 1));
    }
    const float friction = static_cast<float>(numberField(L, 1, call, "friction", 0.9, 0.0, kMaxFactor));
    const float restitution = static_cast<float>(numberField(L, 1, call, "restitution", 0.0, 0.0, kMaxFactor));
    const bool shadow = booleanField(L, 1, call, "shadow", false);
    checkRoom(L);
    ScriptChain* chain = spawnActor<ScriptChain>(chainPoints, loop, friction, restitution);
    chain->shadow = shadow;
    return pushHandle(L, *chain);
}

b2Vec2 metresOf(float x, float y) { return b2Vec2(toMetres(x), toMetres(y)); }

int handleSetVelocity(lua_State* L) {
    checkArgumentCount(L, 3, "set_velocity");
    Actor& actor = liveActor(L);
    const float vx = checkCoordinate(L, 2), vy = checkCoordinate(L, 3);
    if (b2Body* body = bodyOf(actor)) {
        body->SetLinearVelocity(metresOf(vx, vy));
        if (body->GetType() != b2_staticBody) body->SetAwake(true);
    } else {
        actor.vx = vx * static_cast<float>(kStepSeconds);
        actor.vy = vy * static_cast<float>(kStepSeconds);
    }
    return 0;
}

int handleSpin(lua_State* L) {
    checkArgumentCount(L, 2, "spin");
    b2Body& body = liveBody(L, 1, "spin");
    const float w = checkCoordinate(L, 2);
    body.SetAngularVelocity(toRadians(w));
    if (body.GetType() != b2_staticBody) body.SetAwake(true);
    return 0;
}

int handleAngularVelocity(lua_State* L) {
    checkArgumentCount(L, 1, "angular_velocity");
    b2Body& body = liveBody(L, 1, "angular_velocity");
    lua_pushnumber(L, toDegrees(body.GetAngularVelocity()));
    return 1;
}

// Forces in kg units / s^2, torques in kg units^2 / s^2, impulses in kg units / s: the world's
// units where Box2D has metres.
int handleForce(lua_State* L) {
    checkArgumentCount(L, 5, "force");
    b2Body& body = liveBody(L, 1, "force");
    const float fx = checkCoordinate(L, 2), fy = checkCoordinate(L, 3);
    if (lua_isnoneornil(L, 4)) {
        body.ApplyForceToCenter(metresOf(fx, fy), true);
    } else {
        body.ApplyForce(metresOf(fx, fy), metresOf(checkCoordinate(L, 4), checkCoordinate(L, 5)), true);
    }
    return 0;
}

int handleTorque(lua_State* L) {
    checkArgumentCount(L, 2, "torque");
    b2Body& body = liveBody(L, 1, "torque");
    body.ApplyTorque(toMetres(toMetres(checkCoordinate(L, 2))), true);
    return 0;
}

int handleImpulse(lua_State* L) {
    checkArgumentCount(L, 5, "impulse");
    b2Body& body = liveBody(L, 1, "impulse");
    const float ix = checkCoordinate(L, 2), iy = checkCoordinate(L, 3);
    const float px = checkCoordinate(L, 4), py = checkCoordinate(L, 5);
    body.ApplyLinearImpulse(metresOf(ix, iy), metresOf(px, py), true);
    return 0;
}

int handleMass(lua_State* L) {
    checkArgumentCount(L, 1, "mass");
    lua_pushnumber(L, liveBody(L, 1, "mass").GetMass());
    return 1;
}

int handleWake(lua_State* L) {
    checkArgumentCount(L, 1, "wake");
    b2Body& body = liveBody(L, 1, "wake");
    if (body.GetType() != b2_staticBody) body.SetAwake(true);
    return 0;
}

int handleSet(lua_State* L) {
    checkArgumentCount(L, 2, "set");
    constexpr const char* call = "set";
    auto* scripted = dynamic_cast<ScriptBody*>(&liveActor(L));
    if (!scripted) luaL_error(L, "set: only a body made with game.body has a material to set");
    luaL_checktype(L, 2, LUA_TTABLE);
    checkKnownFields(L, 2, call, kMaterialFields);
    made.material = scripted->material;
    readMaterial(L, 2, call, made.material);
    checkOneWay(L, call, scripted->motion, made.material);
    scripted->material = made.material;
    scripted->applyMaterial();
    if (scripted->body->GetType() != b2_staticBody) scripted->body->SetAwake(true);
    return 0;
}

const luaL_Reg kBodyFunctions[] = {{"body", spawnBody}, {"chain", spawnChain}, {nullptr, nullptr}};

const luaL_Reg kBodyMethods[] = {
    {"set_velocity", handleSetVelocity}, {"spin", handleSpin},
    {"angular_velocity", handleAngularVelocity}, {"force", handleForce},
    {"torque", handleTorque},           {"impulse", handleImpulse},
    {"mass", handleMass},               {"wake", handleWake},
    {"set", handleSet},                 {nullptr, nullptr},
};
}  // namespace

void openBodyApi(lua_State* L) { luaL_setfuncs(L, kBodyFunctions, 0); }

void addBodyMethods(lua_State* L) { luaL_setfuncs(L, kBodyMethods, 0); }
