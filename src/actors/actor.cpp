// actor.cpp: the actor list and its update, post-step and draw passes.
#include "actors/actor.h"

#include <cstddef>
#include <iostream>
#include <limits>

std::vector<std::unique_ptr<Actor>> actors;
int32_t nextActorId = 0;

Actor::Actor() : id(nextActorId), self(this) { ++nextActorId; }

void clearActors() {
    // One at a time, so the list is consistent while each destructor runs.
    while (!actors.empty()) actors.pop_back();
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
    // Dead actors too: they keep their bodies until the next update pass deletes them.
    for (const auto& actor : actors) {
        actor->moveBodyTo(newWorld);
    }
}
