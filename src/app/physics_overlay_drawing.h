// physics_overlay_drawing.h: what the physics world holds, drawn over the scene through Box2D's own
// debug-draw interface: fixtures, joints, the last step's contacts and dynamic centres of mass.
#pragma once

// Draws the current world in world coordinates (the caller's world transform); nothing without
// a world. Leaves GL at rest. Needs the game's GL context.
void drawPhysicsOverlay();
