// command_line.cpp: reading the command line, the usage and version texts, and the launch.
#include "app/command_line.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/level_overlay.h"
#include "app/level_picker.h"
#include "app/shared_play.h"
#include "app/window.h"
#include "game/game.h"
#include "level/level_file.h"

// Set for this file by the build.
#ifndef KELVORAN_VERSION
#define KELVORAN_VERSION "0.1"
#endif
#ifndef KELVORAN_BUILD_ID
#define KELVORAN_BUILD_ID "unknown"
#endif

namespace {
// The window system's own options (taken by glutInit), with whether each takes a value.
struct WindowOption {
    const char* name;
    bool takesValue;
};
constexpr WindowOption kWindowOptions[] = {
    {"-display", true}, {"-geometry", true}, {"-direct", false}, {"-indirect", false},
    {"-iconic", false}, {"-gldebug", false}, {"-sync", false},
};

const WindowOption* findWindowOption(const char* argument) {
    for (const WindowOption& option : kWindowOptions)
        if (std::strcmp(argument, option.name) == 0) return &option;
    return nullptr;
}

void printFolders(std::ostream& out, const DataFolders& folders) {
    out << "  map.txt, map.txt.bak and recordings/: " << folders.play << "\n";
    out << "  sheets:";
    if (folders.sheets.empty()) out << " " << folders.play;
    for (size_t i = 0; i < folders.sheets.size(); ++i) out << (i ? ", then " : " ") << folders.sheets[i];
    out << "\n";
    if (!folders.starterMap.empty())
        out << "  first map (when there is none yet): " << folders.starterMap << "\n";
}

// A port from 1 to 65535, digits only; 0 when the text is none.
uint16_t portNumber(const char* text) {
    unsigned long value = 0;
    if (*text == 0) return 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9' || value > 65535) return 0;
        value = value * 10 + static_cast<unsigned long>(*c - '0');
    }
    return value <= 65535 ? static_cast<uint16_t>(value) : 0;
}

// HOST or HOST:PORT into the command line; false when the port is not one.
bool readJoinAddress(const std::string& address, CommandLine& line) {
    const size_t colon = address.rfind(':');
    line.join = address.substr(0, colon);
    if (colon != std::string::npos) line.port = portNumber(address.c_str() + colon + 1);
    return !line.join.empty() && (colon == std::string::npos || line.port != 0);
}

// Whatever launches the game in the end: alone, or in a shared session.
int runChosen(const CommandLine& line, int argc, char** argv) {
    if (line.host || !line.join.empty()) return playTogether(line, argc, argv);
    return runApplication(argc, argv);
}
}  // namespace

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            line.help = true;
        } else if (std::strcmp(argument, "--version") == 0) {
            line.version = true;
        } else if (std::strcmp(argument, "--levels") == 0) {
            line.levels = true;
        } else if (std::strcmp(argument, "--level") == 0) {
            if (i + 1 < argc) {
                line.level = argv[++i];
            } else {
                line.problem = "--level needs a folder";
            }
        } else if (std::strncmp(argument, "--level=", 8) == 0) {
            line.level = argument + 8;
            if (line.level.empty()) line.problem = "--level needs a folder";
        } else if (std::strcmp(argument, "--host") == 0) {
            line.host = true;
            if (i + 1 < argc && portNumber(argv[i + 1]) != 0) line.port = portNumber(argv[++i]);
        } else if (std::strcmp(argument, "--join") == 0) {
            if (i + 1 >= argc || !readJoinAddress(argv[++i], line))
                line.problem = "--join needs HOST or HOST:PORT, the port from 1 to 65535";
        } else if (std::strcmp(argument, "--name") == 0) {
            if (i + 1 < argc) {
                line.name = argv[++i];
            } else {
                line.problem = "--name needs a name";
            }
        } else if (const WindowOption* option = findWindowOption(argument)) {
            if (option->takesValue && i + 1 < argc) ++i;
        } else if (argument[0] == '-') {
            line.unknown.push_back(argument);
        } else if (const size_t length = std::strlen(argument);
                   length > std::strlen(kLevelExtension) &&
                   std::strcmp(argument + length - std::strlen(kLevelExtension), kLevelExtension) == 0) {
            line.levelFile = argument;
            line.levelFiles.push_back(argument);
        }
        // Any other word (`editor` among them) is the start-up's to echo and read.
    }
    if (line.problem.empty()) line.problem = sharedPlayProblem(line);
    return line;
}

void printUsage(std::ostream& out, const DataFolders& folders) {
    out << "Usage: kelvoran [--level DIR | FILE.kvlevel | --levels [FILE.kvlevel...]] [editor] [--help]\n"
           "                [--version] [--host [PORT] | --join HOST[:PORT]] [--name NAME]\n"
           "A 2D physics sandbox: crates, a car, lights and shadows, and a map editor.\n"
           "\n"
           "Options:\n"
           "  --level DIR  play the level in DIR: its map.txt, and any sheets it holds over the\n"
           "               installed ones; saves go into DIR\n"
           "  FILE.kvlevel play the level file; its map's saves go to the user's data folder\n"
           "  --levels     choose a level in the window: the installed level files, those in\n"
           "               the user's data folder (levels/) and any FILE.kvlevel given\n"
           "  --host [PORT] play and let others join on UDP PORT (by default 27960)\n"
           "  --join HOST[:PORT] join the game hosted at HOST; --name NAME is shown to the others\n"
           "  editor       switch the map editor on (it is on by default)\n"
           "  --help       print this text and exit\n"
           "  --version    print the version and build and exit\n"
           "  The window system's own options (-display, -geometry, ...) work as usual.\n"
           "\n"
           "Keys: w a s d scroll (or drive the car), space (held) crates at the mouse, 1 a car,\n"
           "3 or n a square, mouse: select and drag quads, 4 end a drag, Delete or Backspace\n"
           "removes them, Ctrl+Z / Ctrl+Y undo and redo, Ctrl+C / Ctrl+V copy and paste, Ctrl+D\n"
           "duplicate, Ctrl+L the selected quads as Lua, g the grid, 5 / 6 editor on / off, 9 save,\n"
           "7 or 8 reload, r restart, 0 pause, . one step, c clear, z bursts, p a light, m sound,\n"
           "b physics overlay, i timing overlay, F or f full screen, Home the start view, h the\n"
           "help panel with every key, Esc save and quit.\n"
           "\n"
           "Files: a folder holding map.txt or the sheets is played in as it is. Otherwise the\n"
           "sheets and the first map come from the installed share/kelvoran, and the map, its\n"
           "backup and the session recordings are kept in $XDG_DATA_HOME/kelvoran (by default\n"
           "~/.local/share/kelvoran). Started here:\n";
    printFolders(out, folders);
    out.flush();
}

void printVersion(std::ostream& out) {
    out << "kelvoran " << KELVORAN_VERSION << "\nbuild " << KELVORAN_BUILD_ID << std::endl;
}

int launch(int argc, char** argv) {
    const CommandLine line = parseCommandLine(argc, argv);
    if (line.help || line.version) {
        announceArguments(argc, argv, std::cout);
        if (line.help) printUsage(std::cout, chooseDataFolders(currentFolderFacts(line.level)));
        if (line.version) printVersion(std::cout);
        return 0;
    }
    for (const std::string& option : line.unknown)
        std::cerr << "kelvoran: unknown option " << option << " (ignored)" << std::endl;
    if (!line.problem.empty()) {
        std::cerr << "kelvoran: " << line.problem << std::endl;
        return 2;
    }
    if (line.levels) {
        announceArguments(argc, argv, std::cout);
        return runLevelPicker(argc, argv, line.levelFiles);
    }
    if (!line.levelFile.empty() && line.level.empty()) {
        DataFolders folders;
        if (!prepareLevelFile(line.levelFile, currentFolderFacts(""), folders, std::cerr)) return 1;
        if (!enterDataFolders(folders, std::cerr)) return 1;
        return runChosen(line, argc, argv);
    }
    if (!enterDataFolders(chooseDataFolders(currentFolderFacts(line.level)), std::cerr)) return 1;
    showEditorReadoutForLevel(!line.level.empty());
    return runChosen(line, argc, argv);
}

bool prepareLevelFile(const std::string& path, const FolderFacts& facts, DataFolders& folders, std::ostream& err) {
    namespace fs = std::filesystem;
    LevelFile level;
    std::string problem;
    if (!readLevelFileAt(path, level, problem)) {
        err << "kelvoran: " << path << ": " << problem << std::endl;
        return false;
    }
    folders = DataFolders();
    folders.play = (fs::path(facts.userData) / "levels" / level.manifest.id).string();
    folders.sheets.push_back(facts.shipped.empty() ? facts.userData : facts.shipped);
    std::error_code error;
    fs::create_directories(folders.play, error);
    if (error) {
        err << "kelvoran: cannot use " << folders.play << " for the level's map: " << error.message() << std::endl;
        return false;
    }
    const auto put = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        // Replaced, never written through: a link of that name is not followed.
        const fs::path target = fs::path(folders.play) / name;
        const fs::path temporary = fs::path(folders.play) / (name + ".tmp");
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        std::error_code failure;
        if (out) fs::rename(temporary, target, failure);
        if (!out || failure) {
            err << "kelvoran: cannot write " << target.string() << std::endl;
            return false;
        }
        return true;
    };
    // The player's saved map stays; the script is always the level's own.
    const fs::path map = fs::path(folders.play) / "map.txt";
    if (!fs::exists(fs::symlink_status(map, error)) && !put("map.txt", *level.find(level.manifest.map))) return false;
    if (!level.manifest.script.empty()) {
        if (!put("map.lua", *level.find(level.manifest.script))) return false;
    } else {
        fs::remove(fs::path(folders.play) / "map.lua", error);
    }
    return true;
}
