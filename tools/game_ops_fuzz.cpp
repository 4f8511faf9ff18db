// game_ops_fuzz.cpp: sequences of editor and game operations decoded from the input (presses,
// drags, releases, key 3, snaps, reloads of a map carried in the input, saves, spawns of boxes,
// cars and rockets, logic steps) run headless, checking the world after every operation.
#include <box2d/box2d.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "actors/rocket.h"
#include "session/headless.h"
#include "game/input.h"
#include "fuzz_support.h"
#include "map/map_codec.h"
#include "map/map_file.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"

namespace {

constexpr int kMaxOperations = 64;
constexpr int32_t kMaxGameTime = 30000;  // ms of game time per input, so one input stays quick
constexpr int kMaxMapBytes = 4 + 33 * 24;
constexpr int kLeftButton = 0;

// Hands out the input's bytes; zeros once they run out.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return next_ >= size_; }
    uint8_t byte() { return next_ < size_ ? data_[next_++] : 0; }
    std::vector<uint8_t> bytes(size_t count) {
        count = std::min(count, size_ - std::min(next_, size_));
        std::vector<uint8_t> out(data_ + next_, data_ + next_ + count);
        next_ += count;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t next_ = 0;
};

void writeMapFile(const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(kMapFileName, "wb");
    if (file == nullptr) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::abort();
    std::fclose(file);
}

std::vector<uint8_t> readMap() {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!readMapFile(kMapFileName, bytes, why)) fuzz::fail("the saved map cannot be read back");
    return bytes;
}

// Runs the game for ms milliseconds of scripted time, within the input's budget.
void advance(int32_t ms) {
    const int32_t end = std::min(headlessTime() + ms, kMaxGameTime);
    if (end > headlessTime()) replay({}, end);
}

// A reload of map bytes carried in the input: afterwards the quads are exactly the complete
// records of those bytes, each with its corners or, rejected, zeros.
void reloadFrom(const std::vector<uint8_t>& bytes) {
    writeMapFile(bytes);
    onKeyDown('7', 0, 0);
    onKeyUp('7', 0, 0);
    const size_t complete = bytes.size() < kMapHeaderSize ? 0 : (bytes.size() - kMapHeaderSize) / kMapRecordSize;
    if (mapQuads().size() > complete) fuzz::fail("more quads than records");
    if (mapQuads().size() != decodeMap(bytes.data(), bytes.size()).records.size()) fuzz::fail("quad count");
    for (size_t i = 0; i < mapQuads().size(); ++i) {
        const Vec2f* v = mapQuads()[i].vertices;
        const bool fromFile = std::memcmp(v, bytes.data() + kMapHeaderSize + i * kMapRecordSize, 32) == 0;
        const bool zero = std::all_of(v, v + 4, [](Vec2f p) { return p.x == 0.0f && p.y == 0.0f; });
        if (!fromFile && !zero) fuzz::fail("quad corners from bytes that were not read");
    }
}

void runOperation(Reader& in) {
    const uint8_t op = in.byte() % 14;
    switch (op) {
        case 0: {  // cursor to a window pixel (drags whatever the editor holds)
            const int x = in.byte() * 1024 / 256, y = in.byte() * 600 / 256;
            onMouseMove(x, y);
            break;
        }
        case 1: onMouseButton(kLeftButton, 0, 0, 0); break;  // press
        case 2: onMouseButton(kLeftButton, 1, 0, 0); break;  // release: snaps to the grid
        case 3: {  // a whole drag: press, a few moves, release
            onMouseButton(kLeftButton, 0, 0, 0);
            const int moves = in.byte() % 6;
            for (int i = 0; i < moves; ++i) onMouseMove(in.byte() * 4, in.byte() * 600 / 256);
            onMouseButton(kLeftButton, 1, 0, 0);
            break;
        }
        case 4: onKeyDown('3', 0, 0); break;  // a square
        case 5: onKeyDown('4', 0, 0); break;  // end the drag
        case 6:  // a double click: selects what is under the cursor, grabs it, snaps it
            for (int i = 0; i < 2; ++i) {
                onMouseButton(kLeftButton, 0, 0, 0);
                onMouseButton(kLeftButton, 1, 0, 0);
            }
            break;
        case 7: reloadFrom(in.bytes(in.byte() * kMaxMapBytes / 255)); break;
        case 8: {  // save: the file then holds exactly the current quads
            onKeyDown('9', 0, 0);
            if (readMap() != encodeMap(currentMapRecords())) fuzz::fail("the saved map differs");
            break;
        }
        case 9: {  // hold space: boxes rain at the cursor
            onKeyDown(' ', 0, 0);
            advance(10 * (1 + in.byte() % 32));
            onKeyUp(' ', 0, 0);
            break;
        }
        case 10: onKeyDown('1', 0, 0); break;  // a car
        case 11: spawnRocket(); break;
        case 12: advance(10 * (1 + in.byte())); break;  // logic steps and frames
        case 13: {  // another key: scrolling, bursts, flickers, editor on and off, full screen
            static const unsigned char keys[] = {'w', 'a', 's', 'd', 'z', 'p', '5', '6', 'f'};
            const unsigned char key = keys[in.byte() % sizeof keys];
            onKeyDown(key, 0, 0);
            advance(10 * (in.byte() % 16));
            onKeyUp(key, 0, 0);
            break;
        }
        default: break;
    }
    fuzz::checkAfterOperation();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::makeWorkFolder("kelvoran-ops-fuzz", true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every input starts the game afresh, without a map, so it replays alone.
    unlink(kMapFileName);
    unlink("map.txt.bak");
    std::ostringstream quiet;
    std::streambuf* console = std::cout.rdbuf(quiet.rdbuf());
    startHeadless();
    Reader in(data, size);
    for (int n = 0; n < kMaxOperations && !in.empty(); ++n) {
        runOperation(in);
        quiet.str(std::string());
    }
    fuzz::checkAll();
    stopHeadless();
    std::cout.rdbuf(console);
    if (getWorld() != nullptr || !mapQuads().empty() || !allActors().empty()) fuzz::fail("shutdown left state");
    return 0;
}
