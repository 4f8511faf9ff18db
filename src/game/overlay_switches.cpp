// overlay_switches.cpp: the two overlay switches and their messages.
#include "game/overlay_switches.h"
#include "game/messages.h"

#include "game/sandbox.h"

namespace {
struct OverlayState {
    bool physics = false;
    bool timing = false;
};
OverlayState overlays;
}  // namespace

bool physicsOverlayShown() { return overlays.physics; }
bool timingOverlayShown() { return overlays.timing; }

void physicsOverlayKey() {
    overlays.physics = !overlays.physics;
    showMessage(overlays.physics ? "Physics overlay on" : "Physics overlay off");
}

void timingOverlayKey() {
    overlays.timing = !overlays.timing;
    showMessage(overlays.timing ? "Timing overlay on" : "Timing overlay off");
}

void hideOverlays() { overlays = OverlayState(); }
