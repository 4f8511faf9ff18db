// replay_folder.cpp: making, checking and removing the folder a replay plays in.
#include "session/replay_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/refusal.h"

namespace fs = std::filesystem;

namespace {
// The names a replay writes besides map.txt: the game's save keeps the old map beside it.
const char* const kKeptNames[] = {"map.txt", "map.txt.bak"};
}  // namespace

bool prepareReplayFolder(const std::string& requested, bool force, ReplayFolder& folder, std::string& why) {
    folder = ReplayFolder();
    std::error_code error;
    if (requested.empty()) {
        std::string pattern = (fs::temp_directory_path(error) / "kelvoran-replay-XXXXXX").string();
        if (error || !mkdtemp(&pattern[0]))
            return refuse(why, std::string("cannot make a temporary folder: ") + std::strerror(errno));
        folder.path = pattern;
        folder.temporary = true;
        return true;
    }
    fs::create_directories(requested, error);
    if (error) return refuse(why, "cannot make " + requested + ": " + error.message());
    struct stat info;
    if (stat(requested.c_str(), &info) != 0)
        return refuse(why, "cannot use " + requested + ": " + std::strerror(errno));
    if (!S_ISDIR(info.st_mode)) return refuse(why, "cannot use " + requested + ": not a folder");
    if (access(requested.c_str(), R_OK | W_OK | X_OK) != 0)
        return refuse(why, "cannot use " + requested + ": " + std::strerror(errno));
    if (!force) {
        for (const char* name : kKeptNames) {
            const std::string path = requested + "/" + name;
            if (lstat(path.c_str(), &info) == 0)
                return refuse(why, requested + " already holds " + name +
                               ", which the replay would replace (--force replays there anyway)");
        }
    }
    const std::string path = fs::absolute(requested, error).lexically_normal().string();
    if (error) return refuse(why, "cannot use " + requested + ": " + error.message());
    folder.path = path;
    return true;
}

void removeReplayFolder(const ReplayFolder& folder) {
    std::error_code error;
    if (folder.temporary && !folder.path.empty()) fs::remove_all(folder.path, error);
}
