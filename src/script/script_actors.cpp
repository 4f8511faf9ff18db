// script_actors.cpp: the scripted body and the lamp.
#include "script/script_actors.h"

#include <box2d/box2d.h>

#include <algorithm>
#include <cmath>

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
constexpr int32_t kMaxTiles = 32;  // along each side

// How many times a frame of side pixels fits along length units, at least once.
int32_t tilesAlong(float length, int32_t side) {
    if (side <= 0) return 1;
    const int32_t tiles = static_cast<int32_t>(std::lround(length / static_cast<float>(side)));
    return std::clamp(tiles, 1, kMaxTiles);
}

// The frame's width and height in pixels, from its corners.
void frameSize(const Texture& sheet, int32_t frame, int32_t& w, int32_t& h) {
    const size_t at = static_cast<size_t>(frame) * 8;
    w = h = 0;
    if (sheet.vertices.size() < at + 8) return;
    int32_t minX = sheet.vertices[at], maxX = minX, minY = sheet.vertices[at + 1], maxY = minY;
    for (size_t k = at; k < at + 8; k += 2) {
        minX = std::min(minX, sheet.vertices[k]);
        maxX = std::max(maxX, sheet.vertices[k]);
        minY = std::min(minY, sheet.vertices[k + 1]);
        maxY = std::max(maxY, sheet.vertices[k + 1]);
    }
    w = maxX - minX;
    h = maxY - minY;
}
}  // namespace

ScriptBody::ScriptBody(const ScriptBodyShape& shape)
    : BodyActor(shape.x, shape.y, toMetres(shape.w) * 0.5f, toMetres(shape.h) * 0.5f, kFriction),
      frame(shape.frame),
      light(shape.light),
      sheet(shape.sheet),
      width(shape.w),
      height(shape.h) {
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
    if (sheet && frame < sheet->frameCount) {
        // The frame tiles the body, turned with it.
        int32_t frameW = 0, frameH = 0;
        frameSize(*sheet, frame, frameW, frameH);
        const int32_t across = tilesAlong(width, frameW), down = tilesAlong(height, frameH);
        const float stepX = width / static_cast<float>(across), stepY = height / static_cast<float>(down);
        const float c = std::cos(toRadians(angle)), s = std::sin(toRadians(angle));
        for (int32_t j = 0; j < down; ++j) {
            for (int32_t i = 0; i < across; ++i) {
                const float dx = (static_cast<float>(i) + 0.5f) * stepX - width * 0.5f;
                const float dy = (static_cast<float>(j) + 0.5f) * stepY - height * 0.5f;
                pushSprite(*sheet, frame, x + dx * c - dy * s, y + dx * s + dy * c, 1.0f, 1.0f, angle);
            }
        }
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
