// data_folders.h: where the game reads its sheets and starter map and where it keeps the player's
// map, its backup and the session recordings. Decided once, before the game starts, and entered
// by changing the working folder, so everything downstream keeps its plain relative names.
#pragma once
#include <ostream>
#include <string>
#include <vector>

// What the choice depends on; every folder absolute.
struct FolderFacts {
    std::string working;   // the folder the game was started in
    std::string level;     // --level DIR; empty when not given
    std::string userData;  // $XDG_DATA_HOME/kelvoran (default ~/.local/share/kelvoran)
    std::string shipped;   // the installed share/kelvoran or the source tree's assets; may be empty
    bool levelReadOnly = false;  // the level folder exists but this user cannot write in it
};

struct DataFolders {
    std::string play;                 // map.txt, map.txt.bak and recordings/ live here
    std::vector<std::string> sheets;  // searched in order; empty: bare names in play
    std::string starterMap;           // copied to play/map.txt when play has none; may be empty
    bool createPlay = false;          // play is made on first use
    // A level this user cannot write (an installed one): copied here into play once, when play
    // does not exist yet, and played from the copy ever after.
    std::string copyLevelFrom{};
};

// True when folder holds map.txt or any of the start-up sheets: such a folder is played in.
bool holdsGameFiles(const std::string& folder);

// A level folder plays in itself over the shipped sheets (one this user cannot write, in its
// copy at levels/NAME in the user's data folder); a folder holding the game's files
// plays exactly as it always has; anywhere else the shipped sheets and starter map are read and
// the player's files go to the user's data folder.
DataFolders chooseDataFolders(const FolderFacts& facts);

// The user's data folder for the game: xdgDataHome/kelvoran when that is an absolute path,
// else home/.local/share/kelvoran. Either may be null or empty.
std::string userDataFolder(const char* xdgDataHome, const char* home);

// The first candidate holding the start-up sheets; empty when none does.
std::string findShippedData(const std::vector<std::string>& candidates);
// Where the shipped data may be for an executable in executableFolder: share/kelvoran beside its
// bin/, the source tree's assets for the build folder's own programs, the configured install.
std::vector<std::string> shippedDataCandidates(const std::string& executableFolder);

// The facts of this process: its working folder and executable, the environment, and level
// (made absolute).
FolderFacts currentFolderFacts(const std::string& level);

// Makes the play folder if needed, puts the starter map there when it has none, enters it and
// sets the sheet search path. False, with one line on err, when the game has nowhere to play.
bool enterDataFolders(const DataFolders& folders, std::ostream& err);
