// actor.h: the base of every dynamic object and the list that owns them all.
#pragma once
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "core/state_hasher.h"

class b2World;

// What kind of actor something is, as the sandbox counts it, clears it and the state hash tells
// it apart. Each actor class owns one, registered once with ActorKindRegistration.
struct ActorKind {
    const char* name = "";    // "box": the one word for one of them
    const char* plural = "";  // "boxes"
    // The first byte of the actor in the state hash. Kinds that share a tag are told apart by
    // their name, which the hash then adds.
    uint8_t hashTag = 0;
    bool alwaysCounted = false;  // named in counts even when there are none
};
// The kinds the engine comes with. They are registered here rather than in their own files, so
// that a program which never makes one (a replay tool) still counts it, at zero.
extern const ActorKind kBoxKind, kCarKind, kRocketKind;
// Every registered kind, by hash tag and then name.
const std::vector<const ActorKind*>& actorKinds();
struct ActorKindRegistration {
    explicit ActorKindRegistration(const ActorKind& kind);
};
// The tag kinds without a tag of their own share.
constexpr uint8_t kSharedBodyKindTag = 4;

class Actor {
public:
    Actor();  // takes the next id; spawnActor puts the actor in the list
    Actor(const Actor&) = delete;
    Actor& operator=(const Actor&) = delete;
    virtual ~Actor();  // frees its slot in the list's table, so references to it stop resolving
    virtual void update() {}    // each logic step, before the physics step
    virtual void postStep() {}  // each logic step, after the physics step
    virtual void draw() {}      // each frame: queue sprites and lights only, never GL
    // Runs when a map reload retires the physics world: an actor with a body recreates it in
    // newWorld and destroys the old one in its own world (see BodyActor).
    virtual void moveBodyTo(b2World& /*newWorld*/) {}
    // What this actor is; a plain actor is of no registered kind.
    virtual const ActorKind& kind() const;
    // Adds every field the actor's future depends on; an actor with more state adds it after
    // these.
    virtual void hashState(StateHasher& h) const;

    int32_t id = 0;
    int32_t age = 0;       // steps lived
    int32_t lifetime = 0;  // in steps; 0 or less lives forever
    Actor* self = nullptr;
    float x = 0.0f, y = 0.0f;    // world units
    float vx = 0.0f, vy = 0.0f;  // world units per step
    float angle = 0.0f;          // degrees
    bool dead = false;           // set by anyone; the next update pass deletes the actor
    // The player whose command made it (0 alone or the host): drawn in that player's colour,
    // and a car answers only to its maker's keys.
    uint8_t player = 0;

    uint32_t slot = 0;  // its place in the list's table of references (see ActorRef), for life

protected:
    void hashCommonFields(StateHasher& h) const;  // the fields above, from id to player
};

// Every live actor, in creation order, owned by the list; only updateActors and clearActors
// remove them.
const std::vector<std::unique_ptr<Actor>>& allActors();
int32_t nextActorId();  // the id the next actor takes
// The live (not dead) actor with id, or nullptr once it is gone; O(log n), the list being in id
// order.
Actor* findLiveActor(int32_t id);

// An actor named in constant time, as a script's handle names it on every call: the slot the
// actor holds in the list's table and the slot's generation when it took it. The slot is handed
// to another actor only after this one is destroyed, with the next generation, so a reference
// never resolves to the wrong actor.
struct ActorRef {
    uint32_t slot = 0;
    uint32_t generation = 0;
};
ActorRef actorRef(const Actor& actor);
// The actor ref names while it exists and is not dead, or nullptr; O(1).
Actor* resolveActor(ActorRef ref);

// Puts actor at the end of the list, which owns it from now on.
void adoptActor(std::unique_ptr<Actor> actor);
// Creates an actor of type T at the end of the list, which owns it; returns it borrowed.
template <class T, class... Args>
T* spawnActor(Args&&... args) {
    auto actor = std::make_unique<T>(std::forward<Args>(args)...);
    T* borrowed = actor.get();
    adoptActor(std::move(actor));
    return borrowed;
}

// Deletes every actor (and so every actor body) at once; the world must not be stepping.
void clearActors();
// Deletes the actors whose ids lie in [first, end) now, not at the next update pass, so what
// replaces them finds their place free; the world must not be stepping.
void removeActorsNow(int32_t first, int32_t end);
// clearActors, and the next actor takes id 0 again: a new game.
void resetActors();
// How many live actors (dead ones waiting for removal included) are of kind.
int32_t countActors(const ActorKind& kind);

// "  <name> - POS:x/y/ - <self> / <this>", the line every body-owning actor prints when made.
void printSpawnLine(const char* name, const Actor& actor);

void updateActors();    // ages, expires, deletes the dead and updates the rest, in list order
void postStepActors();  // after the physics step
void drawActors();      // queues every actor's sprites and lights, dead ones included

// Recreates every actor body in newWorld with the same pose, velocities and fixtures, so a map
// reload can retire the old world without losing or crashing the actors.
void moveActorBodiesTo(b2World& newWorld);
