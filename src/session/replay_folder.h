// replay_folder.h: the one folder a replay may write in. A replay plays a file from anyone, so
// it writes nowhere else: a fresh temporary folder, or a --dir the user named that it can use
// and that holds no map of theirs (unless they say --force).
#pragma once
#include <string>

struct ReplayFolder {
    std::string path;       // absolute; empty when refused
    bool temporary = false; // made here, removed by removeReplayFolder
};

// requested empty: a new folder under the system's temporary folder. Otherwise requested,
// created if missing; refused, with why the folder cannot be used in why, if it is not a folder
// this user can enter and write, or if it already holds map.txt or map.txt.bak (of any kind) and
// force is false.
bool prepareReplayFolder(const std::string& requested, bool force, ReplayFolder& folder, std::string& why);
// Removes a temporary folder with everything in it; a --dir is kept.
void removeReplayFolder(const ReplayFolder& folder);
