// host.cpp: the installed host and the stand-ins a run without a window uses.
#include "game/host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

constexpr size_t kMaxScriptBytes = 16u * 1024u * 1024u;
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

bool readMapFromDisk(std::vector<uint8_t>& bytes, std::string* problem) {
    return readMapFile(kMapFileName, bytes, problem);
}

// Plain system calls: the game looks for the file twice a second, mostly to find it missing.
bool readScriptFromDisk(std::vector<uint8_t>& bytes) {
    bytes.clear();
    const int fd = open(kScriptFileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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

// The lightmap pass empties the lights queued last frame, the actors and flickers queue new
// ones, the batches are drawn and emptied.
void queueOnlyFrame() {
    for (const auto& texture : allTextures()) emptyLightQueue(texture->queues);
    drawActors();
    queueFlickerLights();
    for (const auto& texture : allTextures()) emptySpriteQueue(texture->queues);
    emptyShapeQueues();
}
