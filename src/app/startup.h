// startup.h: program entry: banner, arguments, window, loading, then the main loop.
#pragma once
#include <ostream>

// Prints the banner and argument lines and switches the editor on for each exact "editor".
void announceArguments(int argc, char** argv, std::ostream& out);
int runApplication(int argc, char** argv);
