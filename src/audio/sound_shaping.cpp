// sound_shaping.cpp: the curves from impulse, mass, speed and place to gain, pitch and position.
#include "audio/sound_shaping.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kDepth = 0.5f;  // half view widths in front: the edges sound about 63 degrees aside
constexpr float kLoudImpulse = 120.0f;   // N*s: a crate landing at about 45 m/s plays at full gain
constexpr float kCrateMass = 2.56f;      // kg: one crate, heard at its recorded pitch
constexpr float kMinPitch = 0.5f, kMaxPitch = 2.0f;
constexpr float kIdlePitch = 0.7f;       // a standing car
constexpr float kPitchPerSpeed = 0.05f;  // per m/s
constexpr float kMaxEnginePitch = 2.5f;
constexpr float kIdleGain = 0.2f;
constexpr float kThrottleGain = 0.12f;
constexpr float kSpeedGain = 0.18f;      // added at kFullSpeed and above
constexpr float kFullSpeed = 30.0f;      // m/s
}  // namespace

ListenerPosition listenerPosition(Vec2f source, Vec2f viewCentre, float viewWidth) {
    const float halfWidth = viewWidth > 0.0f ? 0.5f * viewWidth : 1.0f;
    // The world's y grows down the screen; the listener's grows up.
    return ListenerPosition{(source.x - viewCentre.x) / halfWidth, (viewCentre.y - source.y) / halfWidth,
                            -kDepth};
}

float impactGain(float impulse) {
    if (!(impulse > 0.0f)) return 0.0f;
    return std::min(1.0f, std::sqrt(impulse / kLoudImpulse));
}

float impactPitch(float mass) {
    if (!(mass > 0.0f)) return kMaxPitch;
    return std::max(kMinPitch, std::min(kMaxPitch, std::sqrt(kCrateMass / mass)));
}

float enginePitch(float speed) {
    const float s = speed > 0.0f ? speed : 0.0f;  // NaN counts as standing still
    return std::min(kMaxEnginePitch, kIdlePitch + kPitchPerSpeed * s);
}

float engineGain(float speed, bool throttle) {
    const float s = speed > 0.0f ? std::min(speed, kFullSpeed) : 0.0f;
    return kIdleGain + (throttle ? kThrottleGain : 0.0f) + kSpeedGain * s / kFullSpeed;
}
