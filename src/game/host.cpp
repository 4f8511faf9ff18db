// host.cpp: the installed host and the stand-ins a run without a window uses.
#include "game/host.h"

#include "actors/actor.h"
#include "map/map_file.h"
#include "render/effect_layers.h"

namespace {
int32_t stoppedClock() { return 0; }
void noAction() {}
void noWait(int32_t) {}
void noSize(int, int) {}

Host installedHost = headlessHost();
}  // namespace

Host headlessHost() {
    return Host{stoppedClock, queueOnlyFrame, noWait, loadNoImage, readMapFromDisk,
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

// The lightmap pass empties the lights queued last frame, the actors and flickers queue new
// ones, the batches are drawn and emptied.
void queueOnlyFrame() {
    for (const auto& texture : allTextures()) emptyLightQueue(texture->queues);
    drawActors();
    queueFlickerLights();
    for (const auto& texture : allTextures()) emptySpriteQueue(texture->queues);
}
