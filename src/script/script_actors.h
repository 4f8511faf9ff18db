// script_actors.h: the actors only a script makes: a body of any shape and material drawn with a
// sheet frame, a chain of static edges, and a lamp that lights its place every frame.
#pragma once
#include <cstdint>
#include <vector>

#include "actors/body_actor.h"
#include "core/vec2.h"

struct Texture;

enum class BodyShape : uint8_t { Box, Circle, Polygon };
enum class BodyMotion : uint8_t { Dynamic, Static, Kinematic };

// How a body moves and meets others; the defaults are a plain crate's.
struct BodyMaterial {
    float density = 1.0f;
    float friction = 0.9f;
    float restitution = 0.0f;
    float linearDamping = 0.0f;
    float angularDamping = 0.0f;
    float gravityScale = 1.0f;
    bool fixedRotation = false;
    bool bullet = false;
    bool sensor = false;      // reports touches, collides with nothing
    bool oneWay = false;      // passed through from below, landed on from above
    uint16_t category = 1;    // the category bit it is in
    uint16_t mask = 0xffff;   // the category bits it collides with
    int16_t group = 0;        // Box2D's group index: same positive collide, same negative never
};

struct ScriptBodyShape {
    float x = 0.0f, y = 0.0f;     // centre, world units
    float w = 32.0f, h = 32.0f;   // a box's size, world units
    float radius = 16.0f;         // a circle's, world units
    std::vector<Vec2f> points;    // a polygon's corners around (x, y), world units, convex
    BodyShape shape = BodyShape::Box;
    BodyMotion motion = BodyMotion::Dynamic;
    BodyMaterial material;
    float angle = 0.0f;           // degrees
    bool light = false;           // lights its surroundings as a crate does
    bool shadow = false;          // casts shadows in the lightmap as map quads do
    int32_t frame = 0;
    Texture* sheet = nullptr;     // borrowed; may be null (drawn as nothing)
};

class ScriptBody final : public BodyActor {
public:
    explicit ScriptBody(const ScriptBodyShape& shape);
    const ActorKind& kind() const override;
    void postStep() override;
    void draw() override;
    void hashState(StateHasher& h) const override;
    // Puts the material on the body's fixtures and body (after a set{} while playing).
    void applyMaterial();

    int32_t frame = 0;
    bool light = false;
    bool shadow = false;
    Texture* sheet = nullptr;
    BodyShape shape = BodyShape::Box;
    BodyMotion motion = BodyMotion::Dynamic;
    BodyMaterial material;
    float width = 32.0f, height = 32.0f;  // world units: a box's size, a circle's diameter, a
                                          // polygon's bounds
    float radius = 0.0f;                  // a circle's
    std::vector<Vec2f> points;            // a polygon's corners in the body's frame, world units
};

// Static terrain: a chain of edges through points (world units), closed when loop.
class ScriptChain final : public BodyActor {
public:
    ScriptChain(const std::vector<Vec2f>& points, bool loop, float friction, float restitution);
    const ActorKind& kind() const override;
    void draw() override;
    void hashState(StateHasher& h) const override;

    std::vector<Vec2f> points;
    bool loop = false;
    bool shadow = false;
    float friction = 0.9f, restitution = 0.0f;
};

class Lamp final : public Actor {
public:
    Lamp(float startX, float startY, float brightness);
    const ActorKind& kind() const override;
    void draw() override;
    void hashState(StateHasher& h) const override;

    float brightness = 1.0f;
};
