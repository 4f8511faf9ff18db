// actor.h: the base of every dynamic object and the list that owns them all.
#pragma once
#include <cstdint>
#include <vector>

class b2Body;
class b2World;

class Actor {
public:
    Actor();  // appends itself to actors and takes the next id
    Actor(const Actor&) = delete;
    Actor& operator=(const Actor&) = delete;
    virtual ~Actor() = default;
    virtual void update() {}    // each logic step, before the physics step
    virtual void postStep() {}  // each logic step, after the physics step
    virtual void draw() {}      // each frame: queue sprites and lights only, never GL
    // Actors that own a body recreate it in newWorld and destroy the old one in its own world.
    virtual void moveBodyTo(b2World& /*newWorld*/) {}

    int32_t id = 0;
    int32_t age = 0;
    int32_t lifetime = 0;  // in steps; 0 or less lives forever
    Actor* self = nullptr;
    float x = 0.0f, y = 0.0f;
    float vx = 0.0f, vy = 0.0f;  // world units per step
    float angle = 0.0f;          // degrees
    bool dead = false;
};

// Owns every live actor, in creation order; only updateActors removes and deletes them.
extern std::vector<Actor*> actors;
extern int32_t nextActorId;

// "  <name> - POS:x/y/ - <self> / <this>", the line every body-owning actor prints when made.
void printSpawnLine(const char* name, const Actor& actor);

void updateActors();
void postStepActors();
void drawActors();

// Recreates every actor body in newWorld with the same pose, velocities and fixtures, so a map
// reload can retire the old world without losing or crashing the actors.
void moveActorBodiesTo(b2World& newWorld);
