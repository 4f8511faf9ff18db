// window.h: the game in its GLUT window: the host it provides, start-up, the window system's
// loop until Esc or close, and shutdown.
#pragma once

#include "game/host.h"

// The host of a run in a real window: the window system's clock, renderFrame when the picture
// changed, sleeping in the window system's event wait, images through GL, map.txt from disk, and
// GLUT's window actions.
Host windowHost();

int runApplication(int argc, char** argv);
