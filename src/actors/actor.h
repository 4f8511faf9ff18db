// actor.h: the base of every dynamic object and the list that owns them all.
#pragma once
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class b2World;

class Actor {
public:
    Actor();  // takes the next id; spawnActor puts the actor in the list
    Actor(const Actor&) = delete;
    Actor& operator=(const Actor&) = delete;
    virtual ~Actor() = default;
    virtual void update() {}    // each logic step, before the physics step
    virtual void postStep() {}  // each logic step, after the physics step
    virtual void draw() {}      // each frame: queue sprites and lights only, never GL
    // Runs when a map reload retires the physics world: an actor with a body recreates it in
    // newWorld and destroys the old one in its own world (see BodyActor).
    virtual void moveBodyTo(b2World& /*newWorld*/) {}

    int32_t id = 0;
    int32_t age = 0;       // steps lived
    int32_t lifetime = 0;  // in steps; 0 or less lives forever
    Actor* self = nullptr;
    float x = 0.0f, y = 0.0f;    // world units
    float vx = 0.0f, vy = 0.0f;  // world units per step
    float angle = 0.0f;          // degrees
    bool dead = false;           // set by anyone; the next update pass deletes the actor
};

// Owns every live actor, in creation order; only updateActors and clearActors remove them.
extern std::vector<std::unique_ptr<Actor>> actors;
extern int32_t nextActorId;  // the id the next actor takes

// Creates an actor of type T at the end of the list, which owns it; returns it borrowed.
template <class T, class... Args>
T* spawnActor(Args&&... args) {
    auto actor = std::make_unique<T>(std::forward<Args>(args)...);
    T* borrowed = actor.get();
    actors.push_back(std::move(actor));
    return borrowed;
}

// Deletes every actor (and so every actor body) at once; the world must not be stepping.
void clearActors();

// "  <name> - POS:x/y/ - <self> / <this>", the line every body-owning actor prints when made.
void printSpawnLine(const char* name, const Actor& actor);

void updateActors();    // ages, expires, deletes the dead and updates the rest, in list order
void postStepActors();  // after the physics step
void drawActors();      // queues every actor's sprites and lights, dead ones included

// Recreates every actor body in newWorld with the same pose, velocities and fixtures, so a map
// reload can retire the old world without losing or crashing the actors.
void moveActorBodiesTo(b2World& newWorld);
