// sandbox_limits.cpp: the checks made before an actor is spawned.
#include "app/sandbox_limits.h"

#include <string>

#include "actors/actor.h"
#include "actors/car.h"
#include "app/input.h"
#include "app/sandbox.h"

bool roomForActor(const char* what) {
    if (actors.size() < kMaxActors) return true;
    // Shown, not written: a held space key would ask a hundred times a second.
    showMessage(std::string("No ") + what + ": the sandbox is full (" + std::to_string(kMaxActors) +
                " actors)");
    return false;
}

void dropCar() {
    if (countSandbox().cars >= kMaxCars) {
        showFailure("No car dropped: " + std::to_string(kMaxCars) + " cars is the limit");
        return;
    }
    if (roomForActor("car")) spawnActor<Car>(spawnPoint.x, spawnPoint.y);
}
