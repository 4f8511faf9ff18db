// overlay_switches.h: whether the physics overlay (b) and the timing overlay (i) are shown; the window
// draws them, the game only keeps the switches.
#pragma once

bool physicsOverlayShown();  // off at start
bool timingOverlayShown();   // off at start
void physicsOverlayKey();    // b: toggles it and says so at the top-right
void timingOverlayKey();     // i: the same for the timing overlay
void hideOverlays();         // a new game starts with both off
