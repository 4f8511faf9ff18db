// script_actors.cpp: the scripted body and the lamp.
#include "script/script_actors.h"

#include <box2d/box2d.h>

#include "physics/physics_world.h"
#include "render/effects.h"
#include "render/texture.h"

namespace {
// Registered with the first one made, so a game without scripts counts and lists the same
// kinds as before.
const ActorKind kBodyKind = {"body", "bodies", kSharedBodyKindTag, false};
const ActorKind kLampKind = {"lamp", "lamps", kSharedBodyKindTag, false};

constexpr float kFriction = 0.9f;
constexpr float kLightRed = 0.38f;  // a crate's light
constexpr float kLightGreen = 0.35f;
constexpr float kLightBlue = 0.25f;
}  // namespace

ScriptBody::ScriptBody(const ScriptBodyShape& shape)
    : BodyActor(shape.x, shape.y, toMetres(shape.w) * 0.5f, toMetres(shape.h) * 0.5f, kFriction),
      frame(shape.frame),
      light(shape.light),
      sheet(shape.sheet) {
    static const ActorKindRegistration registered(kBodyKind);
    body->SetTransform(body->GetPosition(), toRadians(shape.angle));
    if (!shape.dynamic) body->SetType(b2_staticBody);
    x = shape.x;
    y = shape.y;
    angle = shape.angle;
}

const ActorKind& ScriptBody::kind() const { return kBodyKind; }

void ScriptBody::postStep() {
    x = toUnits(body->GetPosition().x);
    y = toUnits(body->GetPosition().y);
    angle = toDegrees(body->GetAngle());
}

void ScriptBody::draw() {
    if (sheet && frame < sheet->frameCount) pushSprite(*sheet, frame, x, y, 1.0f, 1.0f, angle);
    if (!light) return;
    if (Texture* glow = findTexture("light1.png"))
        pushLight(*glow, x, y, angle, kLightRed, kLightGreen, kLightBlue, 0);
}

void ScriptBody::hashState(StateHasher& h) const {
    BodyActor::hashState(h);
    h.add(frame);
    h.add(light);
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
