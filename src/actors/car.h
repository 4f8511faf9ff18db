// car.h: the drivable car; w/s push, a/d steer, the camera follows it.
#pragma once
#include <cstdint>
#include <string>

#include "actors/body_actor.h"

struct Texture;

class Car final : public BodyActor {
public:
    Car(float startX, float startY);  // world units; prints the spawn line
    const ActorKind& kind() const override;
    void update() override;    // reads its maker's held keys w/s/a/d, prints the drift line
    void postStep() override;  // moves the camera to look ahead of the car, if it follows it
    void draw() override;

    Texture* texture = nullptr;  // borrowed "Car.png"; nullptr when never loaded
};

// Whose cars the camera follows: this program's own player (0 alone), so each player of a shared
// session watches their own car while the others drive theirs.
void setCameraFollowsPlayer(uint8_t player);
uint8_t cameraFollowsPlayer();

// The four numbers of the per-step diagnostic line: drift factor, the car's angle, the heading of
// the reversed motion and their difference, in degrees.
struct CarDiagnostic {
    float drift = 0.0f, theta = 0.0f, a = 0.0f, c = 0.0f;
};
// For a centre velocity (vx, vy) in m/s and the car's angle theta in degrees.
CarDiagnostic carDiagnostic(float vx, float vy, float theta);

constexpr int kCarDiagnosticSize = 96;  // room for the four numbers, separators and the end
// Writes "drift / angle / A / C" (each number as the standard stream writes it by default) into
// out, without the line end, allocating nothing; returns out.
const char* writeCarDiagnostic(const CarDiagnostic& values, char (&out)[kCarDiagnosticSize]);
// The same line as a new string.
std::string carDiagnosticLine(float vx, float vy, float theta);
