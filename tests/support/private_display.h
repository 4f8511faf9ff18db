// private_display.h: helpers for tests that start the real programs: shell commands, files,
// and an Xvfb display of the test's own, so other tests' windows never cover the game's.
#pragma once
#include <sys/types.h>

#include <string>

// Runs command in a shell and returns what it wrote on standard output (standard error dropped).
std::string runCommand(const std::string& command);
void sleepMs(int ms);
// The whole content of a file; empty when it cannot be read.
std::string readWholeFile(const std::string& path);
// Starts Xvfb on a free display and waits until it answers; returns its pid, or -1.
pid_t startPrivateDisplay(std::string& display);
