// car.h: the drivable car; w/s push, a/d steer, the camera follows it.
#pragma once
#include <string>

#include "actors/body_actor.h"

struct Texture;

class Car final : public BodyActor {
public:
    Car(float startX, float startY);  // world units; prints the spawn line
    void update() override;    // reads the held keys w/s/a/d, prints the drift line
    void postStep() override;  // moves the camera to look ahead of the car
    void draw() override;

    Texture* texture = nullptr;  // borrowed "Car.png"; nullptr when never loaded
};

// The per-step diagnostic line "drift / angle / A / C" for a centre velocity (vx, vy) in m/s
// and the car's angle theta in degrees, without the line end.
std::string carDiagnosticLine(float vx, float vy, float theta);
