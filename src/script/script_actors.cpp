// script_actors.cpp: the scripted body, the chain and the lamp.
#include "script/script_actors.h"

#include <box2d/box2d.h>

#include <algorithm>
#include <cmath>

#include "physics/physics_world.h"
#include "render/effects.h"
#include "render/shape_geometry.h"
#include "render/shape_queue.h"
#include "render/texture.h"

namespace {
// Registered with the first one made, so a game without scripts counts and lists the same
// kinds as before.
const ActorKind kBodyKind = {"body", "bodies", kSharedBodyKindTag, false};
const ActorKind kLampKind = {"lamp", "lamps", kSharedBodyKindTag, false};
const ActorKind kChainKind = {"chain", "chains", kSharedBodyKindTag, false};

constexpr float kLightRed = 0.38f;  // a crate's light
constexpr float kLightGreen = 0.35f;
constexpr float kLightBlue = 0.25f;
constexpr float kBandThickness = 16.0f;  // world units of ground drawn under a chain's line
// World units along x that show the map's image once: a band piece looks like a 32-unit quad.
constexpr float kBandPiece = 32.0f;
constexpr int32_t kMostShadowCorners = 24;  // a circle's shadow: its rim in fewer, longer edges
// The whole image on a band piece, corners as the piece's: as every map quad shows it.
const Vec2f kWholeImage[4] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};

// Kept across frames: they only grow, so drawing allocates nothing once it has seen its largest
// shape.
struct DrawScratch {
    std::vector<Vec2f> local;      // an outline in the body's frame
    std::vector<Vec2f> world;      // the same, placed
    std::vector<Vec2f> texCoords;  // its corners' texture coordinates
};
DrawScratch scratch;

void placeAll(const std::vector<Vec2f>& local, Vec2f position, float angle) {
    scratch.world.clear();
    for (const Vec2f& p : local) scratch.world.push_back(placeInWorld(p, position, angle));
}

// The outline (body frame) filled with the frame stretched over the box low..high, so the
// picture turns with the body.
void pushFilled(const Texture& sheet, const FrameMap& map, const std::vector<Vec2f>& local, Vec2f low,
                Vec2f high, Vec2f position, float angle) {
    placeAll(local, position, angle);
    scratch.texCoords.clear();
    for (const Vec2f& p : local) scratch.texCoords.push_back(texCoordInBox(map, p, low, high));
    pushPolygon(sheet, scratch.world.data(), scratch.texCoords.data(), static_cast<uint32_t>(local.size()));
}

// A box of any size covered by whole frames: one stretched or squeezed to the box, or, when the
// box is much larger than the frame, tiles of about the frame's size that share the box evenly.
// Nothing reaches beyond the box.
void pushBoxTiles(const Texture& sheet, int32_t frame, const FrameMap& map, float width, float height,
                  Vec2f position, float angle) {
    int32_t frameW = 0, frameH = 0;
    framePixels(sheet, frame, frameW, frameH);
    const int32_t across = tilesAlong(width, frameW), down = tilesAlong(height, frameH);
    const float stepX = width / static_cast<float>(across), stepY = height / static_cast<float>(down);
    const Vec2f whole[4] = {texCoordAt(map, 0, 0), texCoordAt(map, 1, 0), texCoordAt(map, 1, 1),
                            texCoordAt(map, 0, 1)};
    for (int32_t j = 0; j < down; ++j) {
        for (int32_t i = 0; i < across; ++i) {
            const float left = static_cast<float>(i) * stepX - width * 0.5f;
            const float top = static_cast<float>(j) * stepY - height * 0.5f;
            const Vec2f corners[4] = {placeInWorld({left, top}, position, angle),
                                      placeInWorld({left + stepX, top}, position, angle),
                                      placeInWorld({left + stepX, top + stepY}, position, angle),
                                      placeInWorld({left, top + stepY}, position, angle)};
            pushPolygon(sheet, corners, whole, 4);
        }
    }
}
}  // namespace

namespace {
b2BodyType bodyTypeOf(BodyMotion motion) {
    switch (motion) {
        case BodyMotion::Static: return b2_staticBody;
        case BodyMotion::Kinematic: return b2_kinematicBody;
        case BodyMotion::Dynamic: break;
    }
    return b2_dynamicBody;
}

b2Vec2 metres(Vec2f units) { return b2Vec2(toMetres(units.x), toMetres(units.y)); }

// The body in the current world. A box is made as boxes always were (a dynamic box, then turned
// and retyped), so levels written before other shapes existed step exactly as they did.
b2Body* makeBody(const ScriptBodyShape& shape) {
    const BodyMaterial& m = shape.material;
    if (shape.shape == BodyShape::Box) {
        b2Body* body = createDynamicBox(shape.x, shape.y, 0.0f, toMetres(shape.w) * 0.5f,
                                        toMetres(shape.h) * 0.5f, m.friction);
        body->SetTransform(body->GetPosition(), toRadians(shape.angle));
        if (shape.motion != BodyMotion::Dynamic) body->SetType(bodyTypeOf(shape.motion));
        return body;
    }
    b2BodyDef def;
    def.type = bodyTypeOf(shape.motion);
    def.position.Set(toMetres(shape.x), toMetres(shape.y));
    def.angle = toRadians(shape.angle);
    b2Body* body = getWorld()->CreateBody(&def);
    b2FixtureDef fixture;
    fixture.density = m.density;
    fixture.friction = m.friction;
    b2CircleShape circle;
    b2PolygonShape polygon;
    if (shape.shape == BodyShape::Circle) {
        circle.m_radius = toMetres(shape.radius);
        fixture.shape = &circle;
    } else {
        b2Vec2 corners[b2_maxPolygonVertices];
        const size_t count = std::min<size_t>(shape.points.size(), b2_maxPolygonVertices);
        for (size_t i = 0; i < count; ++i) corners[i] = metres(shape.points[i]);
        polygon.Set(corners, static_cast<int32>(count));
        fixture.shape = &polygon;
    }
    body->CreateFixture(&fixture);
    return body;
}

// The box around a body's outline, in its own frame.
void boundsOf(const ScriptBodyShape& shape, float& w, float& h) {
    w = shape.w;
    h = shape.h;
    if (shape.shape == BodyShape::Circle) w = h = 2.0f * shape.radius;
    if (shape.shape != BodyShape::Polygon || shape.points.empty()) return;
    float minX = shape.points[0].x, maxX = minX, minY = shape.points[0].y, maxY = minY;
    for (const Vec2f& p : shape.points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    w = maxX - minX;
    h = maxY - minY;
}

bool isDefault(const BodyMaterial& m) {
    const BodyMaterial plain;
    return m.density == plain.density && m.friction == plain.friction &&
           m.restitution == plain.restitution && m.linearDamping == plain.linearDamping &&
           m.angularDamping == plain.angularDamping && m.gravityScale == plain.gravityScale &&
           m.fixedRotation == plain.fixedRotation && m.bullet == plain.bullet &&
           m.sensor == plain.sensor && m.oneWay == plain.oneWay && m.category == plain.category &&
           m.mask == plain.mask && m.group == plain.group;
}
}  // namespace

ScriptBody::ScriptBody(const ScriptBodyShape& made)
    : BodyActor(makeBody(made)),
      frame(made.frame),
      light(made.light),
      shadow(made.shadow),
      sheet(made.sheet),
      shape(made.shape),
      motion(made.motion),
      material(made.material),
      radius(made.shape == BodyShape::Circle ? made.radius : 0.0f),
      points(made.points) {
    static const ActorKindRegistration registered(kBodyKind);
    boundsOf(made, width, height);
    applyMaterial();
    x = made.x;
    y = made.y;
    angle = made.angle;
}

void ScriptBody::applyMaterial() {
    const BodyMaterial plain;
    bool massChanged = false;
    for (b2Fixture* fixture = body->GetFixtureList(); fixture; fixture = fixture->GetNext()) {
        // Only what differs from a plain crate is written, so a plain body's mass and contacts
        // are exactly a crate's.
        if (fixture->GetDensity() != material.density) {
            fixture->SetDensity(material.density);
            massChanged = true;
        }
        if (fixture->GetFriction() != material.friction) fixture->SetFriction(material.friction);
        if (fixture->GetRestitution() != material.restitution) fixture->SetRestitution(material.restitution);
        if (fixture->IsSensor() != material.sensor) fixture->SetSensor(material.sensor);
        const b2Filter old = fixture->GetFilterData();
        if (old.categoryBits != material.category || old.maskBits != material.mask ||
            old.groupIndex != material.group) {
            b2Filter filter;
            filter.categoryBits = material.category;
            filter.maskBits = material.mask;
            filter.groupIndex = material.group;
            fixture->SetFilterData(filter);
        }
        setOneWayFixture(fixture, material.oneWay);
    }
    if (massChanged) body->ResetMassData();
    if (body->GetLinearDamping() != material.linearDamping) body->SetLinearDamping(material.linearDamping);
    if (body->GetAngularDamping() != material.angularDamping) body->SetAngularDamping(material.angularDamping);
    if (body->GetGravityScale() != material.gravityScale) body->SetGravityScale(material.gravityScale);
    if (body->IsFixedRotation() != material.fixedRotation) body->SetFixedRotation(material.fixedRotation);
    if (body->IsBullet() != material.bullet) body->SetBullet(material.bullet);
    (void)plain;
}

const ActorKind& ScriptBody::kind() const { return kBodyKind; }

void ScriptBody::postStep() {
    x = toUnits(body->GetPosition().x);
    y = toUnits(body->GetPosition().y);
    angle = toDegrees(body->GetAngle());
}

void ScriptBody::draw() {
    const Vec2f position{x, y};
    FrameMap map;
    const bool drawn = sheet != nullptr && frameMapOf(*sheet, frame, map);
    switch (shape) {
        case BodyShape::Circle: {
            circleCorners(radius, circleSegments(radius), scratch.local);
            if (drawn) pushFilled(*sheet, map, scratch.local, {-radius, -radius}, {radius, radius}, position, angle);
            if (shadow) circleCorners(radius, std::min(circleSegments(radius), kMostShadowCorners), scratch.local);
            break;
        }
        case BodyShape::Polygon: {
            scratch.local = points;
            if (drawn && !points.empty()) {
                Vec2f low = points[0], high = points[0];
                for (const Vec2f& p : points) {
                    low = {std::min(low.x, p.x), std::min(low.y, p.y)};
                    high = {std::max(high.x, p.x), std::max(high.y, p.y)};
                }
                pushFilled(*sheet, map, scratch.local, low, high, position, angle);
            }
            break;
        }
        case BodyShape::Box: {
            if (drawn) pushBoxTiles(*sheet, frame, map, width, height, position, angle);
            const float w = width * 0.5f, h = height * 0.5f;
            scratch.local.assign({{-w, -h}, {w, -h}, {w, h}, {-w, h}});
            break;
        }
    }
    if (shadow) {
        placeAll(scratch.local, position, angle);
        pushShadowCaster(scratch.world.data(), static_cast<uint32_t>(scratch.world.size()));
    }
    if (!light) return;
    if (Texture* glow = findTexture("light1.png"))
        pushLight(*glow, x, y, angle, kLightRed, kLightGreen, kLightBlue, 0);
}

void ScriptBody::hashState(StateHasher& h) const {
    BodyActor::hashState(h);
    h.add(frame);
    h.add(light);
    h.add(width);
    h.add(height);
    // Bodies with nothing beyond a plain box hash as they always did, so older sessions keep
    // their hashes.
    if (shape == BodyShape::Box && motion == BodyMotion::Dynamic && isDefault(material) && !shadow)
        return;
    h.add(static_cast<uint8_t>(0xb0));
    h.add(static_cast<uint8_t>(shape));
    h.add(static_cast<uint8_t>(motion));
    h.add(material.density);
    h.add(material.friction);
    h.add(material.restitution);
    h.add(material.linearDamping);
    h.add(material.angularDamping);
    h.add(material.gravityScale);
    h.add(material.fixedRotation);
    h.add(material.bullet);
    h.add(material.sensor);
    h.add(material.oneWay);
    h.add(material.category);
    h.add(material.mask);
    h.add(material.group);
    h.add(shadow);
    h.add(radius);
    h.add(static_cast<uint64_t>(points.size()));
    for (const Vec2f& p : points) {
        h.add(p.x);
        h.add(p.y);
    }
}

namespace {
b2Body* makeChain(const std::vector<Vec2f>& points, bool loop, float friction, float restitution) {
    b2BodyDef def;
    def.type = b2_staticBody;
    b2Body* body = getWorld()->CreateBody(&def);
    std::vector<b2Vec2> corners;
    corners.reserve(points.size());
    for (const Vec2f& p : points) corners.push_back(metres(p));
    b2ChainShape chain;
    if (loop) {
        chain.CreateLoop(corners.data(), static_cast<int32>(corners.size()));
    } else {
        chain.CreateChain(corners.data(), static_cast<int32>(corners.size()), corners.front(), corners.back());
    }
    b2FixtureDef fixture;
    fixture.shape = &chain;
    fixture.friction = friction;
    fixture.restitution = restitution;
    body->CreateFixture(&fixture);
    return body;
}
}  // namespace

ScriptChain::ScriptChain(const std::vector<Vec2f>& chainPoints, bool closed, float chainFriction,
                         float chainRestitution)
    : BodyActor(makeChain(chainPoints, closed, chainFriction, chainRestitution)),
      points(chainPoints),
      loop(closed),
      friction(chainFriction),
      restitution(chainRestitution) {
    static const ActorKindRegistration registered(kChainKind);
    x = y = 0.0f;
}

const ActorKind& ScriptChain::kind() const { return kChainKind; }

// A band of the map's ground under the line, so a hill or a track looks like the map.
void ScriptChain::draw() {
    chainBand(points, loop, kBandThickness, kBandPiece, scratch.world);
    const Texture* ground = findTexture("image.png");
    for (size_t k = 0; k + 4 <= scratch.world.size(); k += 4) {
        if (ground != nullptr) pushPolygon(*ground, &scratch.world[k], kWholeImage, 4);
        if (shadow) pushShadowCaster(&scratch.world[k], 4);
    }
}

void ScriptChain::hashState(StateHasher& h) const {
    BodyActor::hashState(h);
    h.add(loop);
    h.add(shadow);
    h.add(friction);
    h.add(restitution);
    h.add(static_cast<uint64_t>(points.size()));
    for (const Vec2f& p : points) {
        h.add(p.x);
        h.add(p.y);
    }
}

Lamp::Lamp(float startX, float startY, float lampBrightness) : brightness(lampBrightness) {
    static const ActorKindRegistration registered(kLampKind);
    x = startX;
    y = startY;
}

const ActorKind& Lamp::kind() const { return kLampKind; }

void Lamp::draw() {
    if (Texture* glow = findTexture("light1.png"))
        pushLight(*glow, x, y, 0.0f, brightness, brightness, brightness * 0.9f, 0);
}

void Lamp::hashState(StateHasher& h) const {
    hashCommonFields(h);
    h.add(brightness);
}
