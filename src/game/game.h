// game.h: one start-up sequence for every run (window, headless, replay, tests) and the shutdown
// that frees what it made and leaves the game as a new process would find it.
#pragma once
#include <ostream>

constexpr const char* kGameTitle = "Kelvoran v0.1";

// Prints the banner and argument lines and switches the editor on for each exact "editor".
void announceArguments(int argc, char** argv, std::ostream& out);

// Stands in for the window at its place in the start-up: creates it (or not) and reports its
// size through onReshape or setWindowSize. argc and argv may be changed by the window system.
using OpenWindowFunction = void (*)(int& argc, char** argv);

// The start-up every run shares, in order: camera defaults; the argument lines (when announce);
// the spawn point; openWindow; seedRandom(0); the sheets through the host's image loader; the
// map (creating the world); the loop timers. The host is installed by the caller beforehand.
void startGame(int& argc, char** argv, bool announce, OpenWindowFunction openWindow);
// Frees every actor, quad, body, the world and every sheet, and puts every module's state back
// as it was before startGame. With glContextCurrent the GL textures are deleted too; otherwise
// they are taken to be gone with their context.
void shutdownGame(bool glContextCurrent);
