// actor.cpp: the actor list and its update, post-step and draw passes.
#include "actors/actor.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iostream>
#include <limits>

#include "actors/joints.h"
#include "physics/physics_world.h"

namespace {
// One entry per slot of the reference table: the actor holding it, or nullptr while it is free.
struct ActorSlot {
    Actor* actor = nullptr;
    uint32_t generation = 0;  // advanced each time the slot is freed
};

struct ActorList {
    // Before the actors, so it outlives them: their destructors free their slots.
    std::vector<ActorSlot> slots;
    std::vector<uint32_t> freeSlots;  // reused last freed first
    std::vector<std::unique_ptr<Actor>> actors;
    int32_t nextActorId = 0;
};
ActorList list;
auto& actors = list.actors;

// A function's own static, so registrations from other files' static objects find it built.
std::vector<const ActorKind*>& kindRegistry() {
    static std::vector<const ActorKind*> kinds = {&kBoxKind, &kCarKind, &kRocketKind};
    return kinds;
}

const ActorKind kPlainActor = {"actor", "actors", 0, false};
}  // namespace

const ActorKind kBoxKind = {"box", "boxes", 1, true};
const ActorKind kCarKind = {"car", "cars", 2, true};
const ActorKind kRocketKind = {"rocket", "rockets", 3, false};

const std::vector<const ActorKind*>& actorKinds() { return kindRegistry(); }

ActorKindRegistration::ActorKindRegistration(const ActorKind& kind) {
    auto& kinds = kindRegistry();
    const auto before = [](const ActorKind* a, const ActorKind* b) {
        return a->hashTag != b->hashTag ? a->hashTag < b->hashTag : std::strcmp(a->name, b->name) < 0;
    };
    kinds.insert(std::upper_bound(kinds.begin(), kinds.end(), &kind, before), &kind);
}

Actor::Actor() : id(list.nextActorId), self(this) {
    ++list.nextActorId;
    if (list.freeSlots.empty()) {
        slot = static_cast<uint32_t>(list.slots.size());
        list.slots.emplace_back();
    } else {
        slot = list.freeSlots.back();
        list.freeSlots.pop_back();
    }
    list.slots[slot].actor = this;
}

Actor::~Actor() {
    ActorSlot& entry = list.slots[slot];
    entry.actor = nullptr;
    ++entry.generation;
    list.freeSlots.push_back(slot);
}

ActorRef actorRef(const Actor& actor) { return ActorRef{actor.slot, list.slots[actor.slot].generation}; }

Actor* resolveActor(ActorRef ref) {
    if (ref.slot >= list.slots.size()) return nullptr;
    const ActorSlot& entry = list.slots[ref.slot];
    if (entry.generation != ref.generation || !entry.actor || entry.actor->dead) return nullptr;
    return entry.actor;
}

const ActorKind& Actor::kind() const { return kPlainActor; }

void Actor::hashCommonFields(StateHasher& h) const {
    h.add(id);
    h.add(age);
    h.add(lifetime);
    h.add(x);
    h.add(y);
    h.add(vx);
    h.add(vy);
    h.add(angle);
    h.add(dead);
    // Only a shared session's joiners make actors of another player, so everything made alone
    // hashes as it did before actors had a maker.
    if (player != 0) h.add(player);
}

void Actor::hashState(StateHasher& h) const {
    hashCommonFields(h);
    hashBody(h, nullptr);
}

const std::vector<std::unique_ptr<Actor>>& allActors() { return actors; }
int32_t nextActorId() { return list.nextActorId; }

Actor* findLiveActor(int32_t id) {
    const auto it = std::lower_bound(actors.begin(), actors.end(), id,
                                     [](const std::unique_ptr<Actor>& a, int32_t wanted) { return a->id < wanted; });
    if (it != actors.end() && (*it)->id == id) return (*it)->dead ? nullptr : it->get();
    return nullptr;
}

void adoptActor(std::unique_ptr<Actor> actor) { actors.push_back(std::move(actor)); }

void clearActors() {
    // One at a time, so the list is consistent while each destructor runs.
    while (!actors.empty()) actors.pop_back();
}

void removeActorsNow(int32_t first, int32_t end) {
    for (std::size_t i = 0; i < actors.size();) {
        if (actors[i]->id >= first && actors[i]->id < end) {
            // Out of the list before it is deleted, as the update pass does.
            std::unique_ptr<Actor> removed = std::move(actors[i]);
            actors.erase(actors.begin() + static_cast<std::ptrdiff_t>(i));
            removed.reset();
            continue;
        }
        ++i;
    }
}

void resetActors() {
    clearActors();
    list.nextActorId = 0;
}

int32_t countActors(const ActorKind& kind) {
    int32_t count = 0;
    for (const auto& actor : actors) count += &actor->kind() == &kind ? 1 : 0;
    return count;
}

void printSpawnLine(const char* name, const Actor& actor) {
    std::cout << "  " << name << " - POS:" << actor.x << "/" << actor.y << "/ - "
              << static_cast<const void*>(actor.self) << " / " << static_cast<const void*>(&actor)
              << std::endl;
}

// Sizes are re-read every iteration in all three passes: an actor created while a pass runs
// is visited by that same pass.
void updateActors() {
    for (std::size_t i = 0; i < actors.size();) {
        Actor* actor = actors[i].get();
        if (actor->dead) {
            // Out of the list before it is deleted; the next actor moves into place i and is
            // handled now.
            std::unique_ptr<Actor> removed = std::move(actors[i]);
            actors.erase(actors.begin() + static_cast<std::ptrdiff_t>(i));
            removed.reset();
            continue;
        }
        // An unlimited actor would otherwise overflow its age after some 248 days of steps.
        if (actor->age < std::numeric_limits<int32_t>::max()) {
            ++actor->age;
        }
        if (actor->lifetime > 0 && actor->age > actor->lifetime) {
            actor->dead = true;
        }
        actor->update();  // also in the pass that just marked it dead
        ++i;
    }
}

void postStepActors() {
    for (std::size_t i = 0; i < actors.size(); ++i) {
        actors[i]->postStep();
    }
}

void drawActors() {
    // Dead actors are still drawn until the next update pass removes them.
    for (std::size_t i = 0; i < actors.size(); ++i) {
        actors[i]->draw();
    }
}

void moveActorBodiesTo(b2World& newWorld) {
    snapshotJoints(newWorld);  // before the bodies go: Box2D destroys their joints with them
    // Dead actors too: they keep their bodies until the next update pass deletes them.
    for (const auto& actor : actors) {
        actor->moveBodyTo(newWorld);
    }
    rebuildJoints(newWorld);
}
