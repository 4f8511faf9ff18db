// script_actors.h: the actors only a script makes: a box body drawn with any sheet frame, and a
// lamp that lights its place every frame.
#pragma once
#include <cstdint>

#include "actors/body_actor.h"

struct Texture;

struct ScriptBodyShape {
    float x = 0.0f, y = 0.0f;     // centre, world units
    float w = 32.0f, h = 32.0f;   // world units
    float angle = 0.0f;           // degrees
    bool dynamic = true;          // false: static, moved only by the script
    bool light = false;           // lights its surroundings as a crate does
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

    int32_t frame = 0;
    bool light = false;
    Texture* sheet = nullptr;
    float width = 32.0f, height = 32.0f;  // world units
};

class Lamp final : public Actor {
public:
    Lamp(float startX, float startY, float brightness);
    const ActorKind& kind() const override;
    void draw() override;
    void hashState(StateHasher& h) const override;

    float brightness = 1.0f;
};
