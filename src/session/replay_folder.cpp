// replay_folder.cpp: making, checking and removing the folder a replay plays in.
#include "session/replay_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
// The names a replay writes besides map.txt: the game's save keeps the old map beside it.
const char* const kKeptNames[] = {"map.txt", "map.txt.bak"};

ReplayFolder refused(std::string problem) {
    ReplayFolder folder;
    folder.problem = std::move(problem);
    return folder;
}
}  // namespace

ReplayFolder prepareReplayFolder(const std::string& requested, bool force) {
    std::error_code error;
    if (requested.empty()) {
        std::string pattern = (fs::temp_directory_path(error) / "kelvoran-replay-XXXXXX").string();
        if (error || !mkdtemp(&pattern[0]))
            return refused(std::string("cannot make a temporary folder: ") + std::strerror(errno));
        ReplayFolder folder;
        folder.path = pattern;
        folder.temporary = true;
        return folder;
    }
    fs::create_directories(requested, error);
    if (error) return refused("cannot make " + requested + ": " + error.message());
    struct stat info;
    if (stat(requested.c_str(), &info) != 0)
        return refused("cannot use " + requested + ": " + std::strerror(errno));
    if (!S_ISDIR(info.st_mode)) return refused("cannot use " + requested + ": not a folder");
    if (access(requested.c_str(), R_OK | W_OK | X_OK) != 0)
        return refused("cannot use " + requested + ": " + std::strerror(errno));
    if (!force) {
        for (const char* name : kKeptNames) {
            const std::string path = requested + "/" + name;
            if (lstat(path.c_str(), &info) == 0)
                return refused(requested + " already holds " + name +
                               ", which the replay would replace (--force replays there anyway)");
        }
    }
    ReplayFolder folder;
    folder.path = fs::absolute(requested, error).lexically_normal().string();
    if (error) return refused("cannot use " + requested + ": " + error.message());
    return folder;
}

void removeReplayFolder(const ReplayFolder& folder) {
    std::error_code error;
    if (folder.temporary && !folder.path.empty()) fs::remove_all(folder.path, error);
}
