// sheet_queues.cpp: emptying the per-frame queues.
#include "render/sheet_queues.h"

#include <algorithm>

void emptySpriteQueue(SheetQueues& queues) {
    const int32_t used = std::clamp(queues.batchCount, 0, kBatchCapacity);
    std::fill(queues.batch, queues.batch + used, BatchSprite{});
    queues.batchCount = 0;
}

void emptyLightQueue(SheetQueues& queues) {
    const int32_t used = std::clamp(queues.lightCount, 0, kLightCapacity);
    std::fill(queues.lights, queues.lights + used, LightSprite{});
    queues.lightCount = 0;
}
