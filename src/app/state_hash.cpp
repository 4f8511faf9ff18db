// state_hash.cpp: the state fingerprint, field by field, and its readable summary.
#include "app/state_hash.h"

#include <box2d/box2d.h>

#include <cstdio>
#include <cstring>
#include <type_traits>

#include "actors/actor.h"
#include "actors/body_actor.h"
#include "actors/box.h"
#include "actors/car.h"
#include "actors/rocket.h"
#include "app/input.h"
#include "app/main_loop.h"
#include "app/sandbox.h"
#include "core/camera.h"
#include "core/keyboard.h"
#include "core/random.h"
#include "map/map_editor.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "map/physics_world.h"
#include "render/texture.h"

namespace {
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

enum class Kind : uint8_t { Plain, Box, Car, Rocket, OtherBody };

class Hasher {
public:
    void bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) {
            value_ ^= p[i];
            value_ *= kFnvPrime;
        }
    }
    // Plain values by their bytes: floats by their bit patterns, so -0 and NaNs count too.
    template <typename T>
    void add(const T& v) {
        static_assert(std::is_trivially_copyable<T>::value, "hash plain values only");
        unsigned char raw[sizeof(T)];
        std::memcpy(raw, &v, sizeof(T));
        bytes(raw, sizeof(T));
    }
    void add(Vec2f v) {
        add(v.x);
        add(v.y);
    }
    void add(const b2Vec2& v) {
        add(v.x);
        add(v.y);
    }
    void add(bool b) { add(static_cast<uint8_t>(b ? 1 : 0)); }
    uint64_t value() const { return value_; }

private:
    uint64_t value_ = kFnvOffset;
};

Kind kindOf(const Actor& actor) {
    if (dynamic_cast<const Box*>(&actor)) return Kind::Box;
    if (dynamic_cast<const Car*>(&actor)) return Kind::Car;
    if (dynamic_cast<const Rocket*>(&actor)) return Kind::Rocket;
    if (dynamic_cast<const BodyActor*>(&actor)) return Kind::OtherBody;
    return Kind::Plain;
}

void addBody(Hasher& h, const b2Body* body) {
    h.add(body != nullptr);
    if (!body) return;
    h.add(body->GetPosition());
    h.add(body->GetAngle());
    h.add(body->GetLinearVelocity());
    h.add(body->GetAngularVelocity());
    h.add(body->IsAwake());
}

void addActors(Hasher& h) {
    h.add(nextActorId);
    h.add(static_cast<uint64_t>(actors.size()));
    for (const auto& actor : actors) {
        h.add(static_cast<uint8_t>(kindOf(*actor)));
        h.add(actor->id);
        h.add(actor->age);
        h.add(actor->lifetime);
        h.add(actor->x);
        h.add(actor->y);
        h.add(actor->vx);
        h.add(actor->vy);
        h.add(actor->angle);
        h.add(actor->dead);
        const auto* bodied = dynamic_cast<const BodyActor*>(actor.get());
        addBody(h, bodied ? bodied->body : nullptr);
    }
}

void addQuads(Hasher& h) {
    h.add(static_cast<uint64_t>(mapQuads.size()));
    for (const auto& quad : mapQuads) {
        for (int k = 0; k < 4; ++k) {
            h.add(quad->vertices[k]);
            h.add(quad->texCoords[k]);
        }
        h.add(quad->center);
        h.add(quad->tag);
        h.add(quad->selected);
        h.add(quad->editMode);
        addBody(h, quad->body);
    }
}

void addInputAndView(Hasher& h) {
    h.add(editorEnabled);
    h.add(simulationPaused());
    h.add(static_cast<uint64_t>(undoLevels()));
    h.add(static_cast<uint64_t>(redoLevels()));
    h.add(windowSize());
    h.add(cameraPosition());
    h.add(viewSize());
    h.add(zoom());
    h.add(rotation());
    for (int k = 0; k < 256; ++k) h.add(static_cast<uint8_t>(isKeyDown(k)));
    h.add(mouseWorld);
    h.add(spawnPoint);
    h.add(fullscreen);
    h.add(scheduler);
}

void addEffects(Hasher& h) {
    for (const auto& texture : allTextures) {
        const SheetQueues& q = texture->queues;
        h.add(static_cast<uint64_t>(q.bursts.size()));
        for (const Burst& b : q.bursts) {
            h.add(b.x);
            h.add(b.y);
            h.add(b.angle);
            h.add(b.phase);
            h.add(b.finished);
        }
        h.add(static_cast<uint64_t>(q.flickers.size()));
        for (const Flicker& f : q.flickers) {
            for (float v : {f.x, f.y, f.centerX, f.centerY, f.angle, f.speed, f.phase, f.red,
                            f.green, f.blue})
                h.add(v);
            h.add(f.mode);
            h.add(f.looping);
            h.add(f.dead);
        }
        h.add(q.batchCount);
        for (int32_t i = 0; i < q.batchCount && i < kBatchCapacity; ++i) {
            const BatchSprite& s = q.batch[i];
            for (float v : {s.x, s.y, s.extra1, s.extra2, s.angle}) h.add(v);
            h.add(s.frame);
        }
        h.add(q.lightCount);
        for (int32_t i = 0; i < q.lightCount && i < kLightCapacity; ++i) {
            const LightSprite& l = q.lights[i];
            for (float v : {l.x, l.y, l.angle, l.red, l.green, l.blue}) h.add(v);
            h.add(l.flag);
        }
    }
}
}  // namespace

uint64_t stateHash() {
    Hasher h;
    addActors(h);
    addQuads(h);
    addInputAndView(h);
    addEffects(h);
    h.add(randomCount());
    const b2World* world = getWorld();
    h.add(world ? world->GetBodyCount() : -1);
    return h.value();
}

std::string formatHash(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

void describeState(std::ostream& out) {
    int counts[5] = {};
    for (const auto& actor : actors) ++counts[static_cast<int>(kindOf(*actor))];
    out << "actors: " << actors.size() << " (boxes " << counts[static_cast<int>(Kind::Box)]
        << ", cars " << counts[static_cast<int>(Kind::Car)] << ", rockets "
        << counts[static_cast<int>(Kind::Rocket)] << ")\n";
    int selected = 0;
    for (const auto& quad : mapQuads) selected += quad->selected ? 1 : 0;
    out << "map quads: " << mapQuads.size() << " (" << selected << " selected), editor "
        << (editorEnabled ? "on" : "off") << "\n";
    const Vec2f camera = cameraPosition();
    out << "camera: " << camera.x << " " << camera.y << ", mouse " << mouseWorld.x << " "
        << mouseWorld.y << "\n";
    size_t bursts = 0, flickers = 0;
    for (const auto& texture : allTextures) {
        bursts += texture->queues.bursts.size();
        flickers += texture->queues.flickers.size();
    }
    out << "effects: " << bursts << " bursts, " << flickers << " flickers\n";
    out << "random numbers drawn: " << randomCount() << "\n";
}
