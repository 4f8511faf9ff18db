// sheet_queues.h: what lives on a sheet from frame to frame: its bursts and flickers and the
// sprite and light queues the frame fills and the drawing layers empty.
#pragma once
#include <cstdint>
#include <vector>

struct BatchSprite {
    int32_t frame = 0;
    float x = 0.0f, y = 0.0f;            // world units, the sprite's anchor
    float extra1 = 0.0f, extra2 = 0.0f;  // stored as passed; nothing draws with them
    float angle = 0.0f;                  // degrees; +x turns toward +y
};

struct LightSprite {
    float x = 0.0f, y = 0.0f;  // world units
    uint8_t flag = 0;          // stored as passed, cleared when drawn, read by nothing
    float angle = 0.0f;        // degrees
    float red = 0.0f, green = 0.0f, blue = 0.0f;
};

// One-shot animation over the sheet's frames, 100 steps long.
struct Burst {
    float x = 0.0f, y = 0.0f;  // world units
    float angle = 0.0f;        // degrees
    float phase = 0.0f;        // 0 .. 1
    bool finished = false;
};

// Looping or one-shot light effect that drifts on a small circle and changes colour.
struct Flicker {
    float x = 0.0f, y = 0.0f;  // world units
    float centerX = 0.0f, centerY = 0.0f;
    float angle = 0.0f;  // degrees
    float speed = 0.0f;  // phase per step
    float phase = 0.0f;
    int32_t mode = 0;  // 0 warm flicker with drift, 1 grey pulse, other: phase only
    float red = 0.8f, green = 0.8f, blue = 0.8f;
    bool looping = false;
    bool dead = false;
};

constexpr int32_t kBatchCapacity = 4000;
constexpr int32_t kLightCapacity = 200;

// Held inside each sheet record; the queues are fixed arrays so filling them never allocates.
struct SheetQueues {
    std::vector<Burst> bursts;
    std::vector<Flicker> flickers;
    int32_t batchCount = 0;
    BatchSprite batch[kBatchCapacity];
    int32_t lightCount = 0;
    LightSprite lights[kLightCapacity];
};

// The only ways a queue is emptied: every used entry back to its default, the count to 0.
void emptySpriteQueue(SheetQueues& queues);
void emptyLightQueue(SheetQueues& queues);
