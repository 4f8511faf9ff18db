// sandbox_limits.cpp: the checks made before an actor is spawned.
#include "game/sandbox_limits.h"

#include <string>

#include "actors/actor.h"
#include "actors/car.h"
#include "game/input.h"
#include "game/messages.h"
#include "game/sandbox.h"

bool roomForActor(const char* what) {
    if (allActors().size() < kMaxActors) return true;
    // Shown, not written: a held space key would ask a hundred times a second.
    showMessage(std::string("No ") + what + ": the sandbox is full (" + std::to_string(kMaxActors) +
                " actors)");
    return false;
}

void dropCar() {
    if (countOfKind(countActorKinds(), "car") >= kMaxCars) {
        showFailure("No car dropped: " + std::to_string(kMaxCars) + " cars is the limit");
        return;
    }
    // The player who pressed 1 drives it.
    if (roomForActor("car")) spawnActor<Car>(spawnPoint().x, spawnPoint().y)->player = actingPlayer();
}
