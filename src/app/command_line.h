// command_line.h: the options the game itself reads, --help and --version. Every argument is
// still echoed at start-up and `editor` keeps its meaning there.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/data_folders.h"

struct CommandLine {
    bool help = false;
    bool version = false;
    std::string level;                 // --level DIR
    std::string levelFile;             // a FILE.kvlevel to play
    bool levels = false;               // --levels: the picker
    std::vector<std::string> levelFiles;  // every FILE.kvlevel given, for the picker
    bool host = false;                 // --host [PORT]: play and wait for others
    std::string join;                  // --join HOST[:PORT]: HOST
    uint16_t port = 0;                 // of --host or --join; 0: the default
    std::string name;                  // --name NAME in a shared session; empty: the user's
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

// Reads the level file at path and makes its play folder under userData (levels/ID, where its
// map and saves live): the level's map is put there when the player has none yet, its script
// each time. The folders to enter, or false with one line on err.
bool prepareLevelFile(const std::string& path, const FolderFacts& facts, DataFolders& folders, std::ostream& err);
