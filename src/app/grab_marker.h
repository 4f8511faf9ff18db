// grab_marker.h: the body held by the right button, shown as its grabbed point and the line to
// the cursor.
#pragma once

// Draws in world coordinates while a grab is held, and makes no GL call otherwise. Needs the
// game's GL context.
void drawGrabMarker();
