// host.cpp: the installed host and the stand-ins a run without a window uses.
#include "game/host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "actors/actor.h"
#include "game/level_script.h"
#include "map/map_file.h"
#include "render/effect_layers.h"
#include "render/shape_queue.h"

namespace {
int32_t stoppedClock() { return 0; }
void noAction() {}
void noWait(int32_t) {}
void noSize(int, int) {}

Host installedHost = headlessHost();

// The real path of name when it lies inside the level folder (the working folder), else
// empty: a link out of it, to /proc/self/environ say, would put what it points at into the
// script and into the recording of the session.
std::string pathInsideLevel(const char* name) {
    char folder[PATH_MAX], file[PATH_MAX];
    if (!realpath(".", folder) || !realpath(name, file)) return "";
    const size_t length = std::strlen(folder);
    const bool root = length == 1;  // "/": every path lies inside
    if (std::strncmp(file, folder, length) != 0 || (!root && file[length] != '/')) return "";
    return file;
}
}  // namespace

Host headlessHost() {
    return Host{stoppedClock, queueOnlyFrame, noWait, loadNoImage, readMapFromDisk, readScriptFromDisk,
                WindowActions{noAction, noAction, noSize, noSize, noAction}};
}

const Host& host() { return installedHost; }

void installHost(const Host& installed) { installedHost = installed; }

ScopedHost::ScopedHost(const Host& installed) : previous_(installedHost) {
    installedHost = installed;
}

ScopedHost::~ScopedHost() { installedHost = previous_; }

bool readMapFromDisk(std::vector<uint8_t>& bytes, std::string& why) {
    return readMapFile(kMapFileName, bytes, why);
}

// Plain system calls: the game looks for the file twice a second, mostly to find it missing.
// Only a regular file inside the level folder is read.
bool readScriptFromDisk(std::vector<uint8_t>& bytes) {
    bytes.clear();
    const std::string path = pathInsideLevel(kScriptFileName);
    if (path.empty()) return false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    uint8_t chunk[4096];
    while (ok && bytes.size() <= kMaxScriptBytes) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            ok = errno == EINTR;
            continue;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    close(fd);
    if (!ok) bytes.clear();
    if (bytes.size() > kMaxScriptBytes) {
        // Never held whole: the script that runs instead says why.
        const std::string tooLarge = "error('larger than 16 MiB: not loaded', 0)";
        bytes.assign(tooLarge.begin(), tooLarge.end());
    }
    return ok;
}

bool readLevelFileFromDisk(const std::string& name, std::vector<uint8_t>& bytes, std::string& problem) {
    bytes.clear();
    problem.clear();
    if (name.empty() || name.find('/') != std::string::npos || name[0] == '.' ||
        name.find('\0') != std::string::npos) {
        problem = "not a file name of the level's folder";
        return false;
    }
    const std::string path = pathInsideLevel(name.c_str());
    const int fd = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        problem = "no such file in the level's folder";
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) problem = "not a regular file";
    if (ok && static_cast<uint64_t>(info.st_size) > kMaxLevelFileBytes) {
        ok = false;
        problem = "larger than 8 MiB";
    }
    uint8_t chunk[4096];
    while (ok) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            ok = errno == EINTR;
            if (!ok) problem = std::strerror(errno);
            continue;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (bytes.size() > kMaxLevelFileBytes) {
            ok = false;
            problem = "larger than 8 MiB";
        }
    }
    close(fd);
    if (!ok) bytes.clear();
    return ok;
}

// The lightmap pass empties the lights queued last frame, the actors and flickers queue new
// ones, the batches are drawn and emptied.
void queueOnlyFrame() {
    for (const auto& texture : allTextures()) emptyLightQueue(texture->queues);
    drawActors();
    queueFlickerLights();
    for (const auto& texture : allTextures()) emptySpriteQueue(texture->queues);
    emptyShapeQueues();
}
