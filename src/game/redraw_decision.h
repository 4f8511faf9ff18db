// redraw_decision.h: whether a frame due now would show anything the window does not show already, so a
// window can leave an unchanged picture on the screen instead of drawing it again.
#pragma once

enum class FrameNeed {
    Nothing,         // the picture on the screen is the one this frame would draw
    AllButLightmap,  // the lightmap texture already holds what this frame's lights would give
    Everything,
};

// What the frame due now needs; the caller then draws that much, and the picture is taken as
// drawn. A frame is drawn when anything it is drawn from has changed (an actor's pose, an
// effect, the camera or the window, the map or the editor, the panel or a message), once more
// after a change of actors or effects (their lights reach the lightmap one frame late), at every
// per-second publication (the HUD's numbers), and twice after pictureLost. The lightmap is kept when
// its lights, the map and the view are those it was last rendered from.
FrameNeed takeFrameToDraw();
// The window's contents are gone or stretched (uncovered, resized, full screen entered or left):
// the next two frames are drawn whole, whatever they show.
void pictureLost();
// A key, button or pointer motion came: the next frame due is drawn, since the editor's hover
// marks, the rubber band, a grab's line and the overlays answer input directly.
void inputArrived();
