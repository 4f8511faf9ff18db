// redraw.h: whether a frame due now would show anything the window does not show already, so a
// window can leave an unchanged picture on the screen instead of drawing it again.
#pragma once

// True when the frame due now may differ from the picture last drawn; the caller then draws it,
// and the picture is taken as drawn. A frame is drawn when anything it is drawn from has changed
// (an actor's pose, an effect, the camera or the window, the map or the editor, the panel or a
// message), once more after a change of actors or effects (their lights reach the lightmap one
// frame late), at every per-second publication (the HUD's numbers), and after pictureLost.
bool takeFrameToDraw();
// The window's contents are gone or stretched (uncovered, resized, full screen entered or left):
// the next frame is drawn whatever it shows.
void pictureLost();
