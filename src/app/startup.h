// startup.h: program entry: one start-up sequence for the window and for headless runs, and
// the shutdown that frees what it made.
#pragma once
#include <ostream>

// Prints the banner and argument lines and switches the editor on for each exact "editor".
void announceArguments(int argc, char** argv, std::ostream& out);

// Stands in for the window at its place in the start-up: creates it (or not) and reports its
// size through setWindowSize. argc and argv may be changed by the window system.
using OpenWindowFunction = void (*)(int& argc, char** argv);

// The start-up every run shares, in order: camera defaults; the argument lines (when announce);
// the spawn point; openWindow; seedRandom(0); the sheets; the map (creating the world); the loop
// timers. The clock, image loader and frame function are set by the caller beforehand.
void startGame(int& argc, char** argv, bool announce, OpenWindowFunction openWindow);
// Frees every actor, quad, body, the world and every sheet. With glContextCurrent the GL
// textures are deleted too; otherwise they are taken to be gone with their context.
void shutdownGame(bool glContextCurrent);

// The game in its window: start-up, the window system's loop until Esc or close, shutdown.
int runApplication(int argc, char** argv);
