// sound_shaping.h: how loud, how high and where each sound plays, from what the game reports.
// Plain functions of plain values, so the mix's rules can be checked without a device.
#pragma once

#include "core/vec2.h"

// A position in the listener's space (x right, y up, z toward the listener), in half view
// widths: the view's left and right edges are at x = -1 and 1, a little in front.
struct ListenerPosition {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};
// Where a sound at source (world units) is heard from a view centred on viewCentre that spans
// viewWidth world units.
ListenerPosition listenerPosition(Vec2f source, Vec2f viewCentre, float viewWidth);

// Gain of an impact (0..1]: grows with the normal impulse (N*s) and stops growing at the
// impulse of a crate falling the height of the view.
float impactGain(float impulse);
// Playback pitch: 1 for a crate's mass (kg), lower for heavier bodies, higher for lighter ones,
// within 0.5..2.
float impactPitch(float mass);
// Bodies this heavy (kg) or heavier meet with the thud rather than the knock.
constexpr float kThudMass = 4.0f;

// The engine loop's pitch and gain for a car's speed (m/s) and whether it is being driven.
float enginePitch(float speed);
float engineGain(float speed, bool throttle);
