// window.h: the game in its GLUT window: the host it provides, start-up, the window system's
// loop until Esc or close, and shutdown.
#pragma once

#include "game/host.h"

// The host of a run in a real window: the window system's clock, renderFrame when the picture
// changed, sleeping in the window system's event wait, images through GL, map.txt from disk, and
// GLUT's window actions.
Host windowHost();

int runApplication(int argc, char** argv);

// Creates the game's window of width x height pixels (titled; closing it returns from the window
// system's loop) without any callbacks: for a caller that shows something of its own first.
void openWindowForGame(int& argc, char** argv, int width, int height);

// A game played in a window the caller opened and keeps: the level picker's.
struct OpenWindowGame {
    // Called between passes, outside every callback, when the game asks to leave (Esc).
    void (*left)() = nullptr;
    // Sees each key first and returns the key the game gets instead, or 0 to keep it from the game.
    unsigned char (*key)(unsigned char key) = nullptr;
};
// The key filter of runApplication's window, as OpenWindowGame::key: a shared session's view keys.
void setWindowKeyFilter(unsigned char (*filter)(unsigned char key));
// Starts the game in the open window of width x height pixels as a run of argc and argv would
// start (recorded into recordings/ of the working folder, arguments not announced again); its
// callbacks replace the caller's until endGameInOpenWindow.
void startGameInOpenWindow(int argc, char** argv, int width, int height, const OpenWindowGame& game);
// Ends that game: recording, sound and everything it made gone, its GL textures too when the
// context is still current. The window's callbacks are the caller's to set again.
void endGameInOpenWindow(bool glContextCurrent);
