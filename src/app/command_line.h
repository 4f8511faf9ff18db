// command_line.h: the options the game itself reads, --help and --version. Every argument is
// still echoed at start-up and `editor` keeps its meaning there.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "app/data_folders.h"

struct CommandLine {
    bool help = false;
    bool version = false;
    std::string level;                 // --level DIR
    std::vector<std::string> unknown;  // options neither the game nor the window system knows
    std::string problem;               // an option missing its value; empty when none
};

CommandLine parseCommandLine(int argc, char** argv);

// The options, the keys in brief and where this start would read and write its files.
void printUsage(std::ostream& out, const DataFolders& folders);
// The version and the build the recordings are stamped with.
void printVersion(std::ostream& out);

// The whole start: the information options, the unknown-option lines, the data folders, then
// the game in its window. Returns the exit status.
int launch(int argc, char** argv);
