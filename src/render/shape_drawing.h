// shape_drawing.h: draws and empties the queued polygons and lines, in world coordinates, where
// the sprites are drawn. GL context required.
#pragma once

// Every queued polygon filled with its sheet, in the order queued; a frame that queued none
// touches no GL state.
void drawQueuedPolygons();
// Every queued line in its colour and width (scaled with the zoom), over the sprites; a frame
// that queued none touches no GL state.
void drawQueuedLines();
