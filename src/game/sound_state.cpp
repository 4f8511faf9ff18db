// sound_state.cpp: the mute switch and the engines of the cars.
#include "game/sound_state.h"

#include <box2d/box2d.h>

#include "actors/actor.h"
#include "actors/car.h"
#include "core/keyboard.h"

namespace {
struct SoundState {
    bool muted = false;
};
SoundState state;
}  // namespace

bool soundMuted() { return state.muted; }
void toggleSoundMuted() { state.muted = !state.muted; }
void unmuteSound() { state.muted = false; }

void carEngines(std::vector<EngineState>& engines) {
    engines.clear();
    for (const auto& actor : allActors()) {
        const Car* car = dynamic_cast<const Car*>(actor.get());
        if (!car || car->dead) continue;
        // Its driver's keys, which it reads in its update.
        const bool throttle = isPlayerKeyDown(car->player, 'w') || isPlayerKeyDown(car->player, 's');
        const b2Vec2 velocity = car->body->GetLinearVelocityFromLocalPoint(car->body->GetLocalCenter());
        engines.push_back(EngineState{car->id, car->x, car->y, velocity.Length(), throttle});
    }
}
