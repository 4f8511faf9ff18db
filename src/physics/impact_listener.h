// impact_listener.h: turns the physics world's contact reports into impact sound cues. It only
// reads what the solver reports, so stepping with it is stepping without it.
#pragma once

class b2ContactListener;

// A contact cues an impact in the step it starts touching, when its normal impulse changes the
// bodies' speed by at least this much: resting, stacked and sliding contacts stay quiet.
constexpr float kMinImpactSpeedChange = 1.5f;  // m/s: the impulse over the dynamic bodies' mass

// The listener every world createWorld makes reports to; owned here, lives to the process end.
b2ContactListener& impactListener();
