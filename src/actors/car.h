// car.h: the drivable car; w/s push, a/d steer, the camera follows it.
#pragma once
#include <string>

#include "actors/actor.h"

struct Texture;

class Car final : public Actor {
public:
    Car(float x, float y);
    ~Car() override;
    void update() override;
    void postStep() override;
    void draw() override;
    void moveBodyTo(b2World& newWorld) override;

    Texture* texture = nullptr;
    b2Body* body = nullptr;
};

// The per-step diagnostic line "drift / angle / A / C" for a centre velocity (vx, vy) in m/s
// and the car's angle theta in degrees, without the line end.
std::string carDiagnosticLine(float vx, float vy, float theta);
