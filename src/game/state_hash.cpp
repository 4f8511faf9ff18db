// state_hash.cpp: the state fingerprint, field by field, and its readable summary.
#include "game/state_hash.h"

#include <box2d/box2d.h>

#include <cstdio>
#include <cstring>

#include "actors/actor.h"
#include "actors/joints.h"
#include "game/grab.h"
#include "game/input.h"
#include "game/level_finish.h"
#include "game/level_script.h"
#include "game/main_loop.h"
#include "game/sandbox.h"
#include "game/step_commands.h"
#include "core/camera.h"
#include "core/keyboard.h"
#include "core/random.h"
#include "map/map_editor.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "render/texture.h"

namespace {
using Hasher = StateHasher;

void addActors(Hasher& h) {
    const auto& actors = allActors();
    h.add(nextActorId());
    h.add(static_cast<uint64_t>(actors.size()));
    for (const auto& actor : actors) {
        const ActorKind& kind = actor->kind();
        h.add(kind.hashTag);
        if (kind.hashTag >= kSharedBodyKindTag) h.add(std::string(kind.name));
        actor->hashState(h);
    }
}

void addQuads(Hasher& h) {
    h.add(static_cast<uint64_t>(mapQuads().size()));
    for (const auto& quad : mapQuads()) {
        for (int k = 0; k < 4; ++k) {
            h.add(quad.vertices[k]);
            h.add(quad.texCoords[k]);
        }
        h.add(quadCenter(quad));
        h.add(quad.tag);
        h.add(quad.selected);
        h.add(quad.editMode);
        // A fixture of a retired world went with it; only the current world's is looked at.
        hashFixture(h, quadFixture(quad));
    }
}

void addInputAndView(Hasher& h) {
    h.add(editorEnabled());
    h.add(simulationPaused());
    h.add(static_cast<uint64_t>(undoLevels()));
    h.add(static_cast<uint64_t>(redoLevels()));
    h.add(windowSize());
    h.add(cameraPosition());
    h.add(viewSize());
    h.add(zoom());
    h.add(rotation());
    for (int k = 0; k < 256; ++k) h.add(static_cast<uint8_t>(isKeyDown(k)));
    h.add(mouseWorld());
    h.add(spawnPoint());
    h.add(fullScreen());
    h.add(frameScheduler());
}

void addEffects(Hasher& h) {
    for (const auto& texture : allTextures()) {
        const SheetQueues& q = texture->queues;
        h.add(static_cast<uint64_t>(q.bursts.size()));
        for (const Burst& b : q.bursts) hashBurst(h, b);
        h.add(static_cast<uint64_t>(q.flickers.size()));
        for (const Flicker& f : q.flickers) hashFlicker(h, f);
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

void hashBurst(Hasher& h, const Burst& b) {
    h.add(b.x);
    h.add(b.y);
    h.add(b.angle);
    h.add(b.phase);
    h.add(b.finished);
}

void hashFlicker(Hasher& h, const Flicker& f) {
    for (float v : {f.x, f.y, f.centerX, f.centerY, f.angle, f.speed, f.phase, f.red, f.green, f.blue})
        h.add(v);
    h.add(f.mode);
    h.add(f.looping);
    h.add(f.dead);
}

uint64_t stateHash() {
    Hasher h;
    addActors(h);
    addQuads(h);
    addInputAndView(h);
    addEffects(h);
    h.add(randomCount());
    const b2World* world = getWorld();
    h.add(world ? world->GetBodyCount() : -1);
    hashLevelScript(h);
    hashWorldGravity(h);  // nothing while the written gravity holds
    hashLevelFinish(h);   // nothing until the level is finished
    hashGrab(h);  // last, and nothing without a grab: such states hash as they always did
    hashJoints(h);  // nothing in a game that never made a joint
    hashOtherPlayers(h);  // nothing until a second player holds a key or places a cursor
    return h.value();
}

uint64_t sharedStateHash() {
    Hasher h;
    h.add(currentStep());
    addActors(h);
    addQuads(h);
    h.add(editorEnabled());
    h.add(simulationPaused());
    h.add(static_cast<uint64_t>(undoLevels()));
    h.add(static_cast<uint64_t>(redoLevels()));
    for (int k = 0; k < 256; ++k) h.add(static_cast<uint8_t>(isKeyDown(k)));
    h.add(mouseWorld());
    h.add(spawnPoint());
    for (const auto& texture : allTextures()) {
        const SheetQueues& q = texture->queues;
        h.add(static_cast<uint64_t>(q.bursts.size()));
        for (const Burst& b : q.bursts) hashBurst(h, b);
        h.add(static_cast<uint64_t>(q.flickers.size()));
        for (const Flicker& f : q.flickers) hashFlicker(h, f);
    }
    h.add(randomCount());
    const b2World* world = getWorld();
    h.add(world ? world->GetBodyCount() : -1);
    hashLevelScript(h);
    hashWorldGravity(h);
    hashGrab(h);
    hashJoints(h);
    hashOtherPlayers(h);
    return h.value();
}

std::string formatHash(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

void describeState(std::ostream& out) {
    out << "actors: " << allActors().size() << " (";
    const char* separator = "";
    for (const ActorKind* kind : actorKinds()) {
        out << separator << kind->plural << " " << countActors(*kind);
        separator = ", ";
    }
    out << ")\n";
    int selected = 0;
    for (const auto& quad : mapQuads()) selected += quad.selected ? 1 : 0;
    out << "map quads: " << mapQuads().size() << " (" << selected << " selected), editor "
        << (editorEnabled() ? "on" : "off") << "\n";
    const Vec2f camera = cameraPosition();
    out << "camera: " << camera.x << " " << camera.y << ", mouse " << mouseWorld().x << " "
        << mouseWorld().y << "\n";
    size_t bursts = 0, flickers = 0;
    for (const auto& texture : allTextures()) {
        bursts += texture->queues.bursts.size();
        flickers += texture->queues.flickers.size();
    }
    out << "effects: " << bursts << " bursts, " << flickers << " flickers\n";
    out << "random numbers drawn: " << randomCount() << "\n";
}
