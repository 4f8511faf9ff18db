// shared_play.h: kelvoran --host and --join, the game in its window as one player of a shared
// session.
#pragma once
#include <string>

#include "app/command_line.h"

// What is wrong with the shared-session options, one line; empty when nothing is.
std::string sharedPlayProblem(const CommandLine& line);

// Hosts or joins as the line says, then plays in the window until the player leaves or the
// session ends. A join refused, or a host that cannot listen, is one line on standard error and
// status 1.
int playTogether(const CommandLine& line, int argc, char** argv);
