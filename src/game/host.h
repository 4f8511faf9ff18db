// host.h: everything the game reaches outside itself (its clock, the frame, sheet images, the
// bytes of map.txt and the window), held in one record and installed whole. The GLUT shell, the
// headless run, the recorder, the replay and the tests each provide one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "render/texture.h"

// Fills bytes and returns true, or returns false (bytes empty) when there is no readable map,
// with the reason in why (left empty for a missing file, which is simply an empty map).
using MapReader = bool (*)(std::vector<uint8_t>& bytes, std::string& why);
// Fills bytes with the level script and returns true, or returns false (bytes empty) when there
// is none to read.
using ScriptReader = bool (*)(std::vector<uint8_t>& bytes);

// Fills bytes with the level's own file name (a sound or an image beside map.lua) and returns
// true, or returns false with the reason in problem. name is a plain file name: no folders.
using LevelFileReader = bool (*)(const std::string& name, std::vector<uint8_t>& bytes, std::string& problem);
// The most of one level file the game reads.
constexpr size_t kMaxLevelFileBytes = 8u * 1024u * 1024u;
bool readLevelFileFromDisk(const std::string& name, std::vector<uint8_t>& bytes, std::string& problem);

// What the key handlers and the window events ask of the window.
struct WindowActions {
    void (*leaveMainLoop)();
    void (*enterFullScreen)();
    void (*leaveFullScreen)(int width, int height);  // reshape to width x height at (0, 0)
    void (*setViewport)(int width, int height);      // after every reshape
    void (*releaseGl)();                             // the window closed: free its GL objects
};

struct Host {
    int32_t (*clock)();     // ms since start-up; the one clock the logic reads
    void (*frame)();        // draws one frame, or does to the queues what a frame would
    // Nothing is due before this clock time (ms): the host may give the processor back until
    // then, or until an input or window event comes first. Returning at once is always right.
    void (*waitUntil)(int32_t ms);
    ImageLoader loadImage;  // sheet images to GL names; 0 for none
    MapReader readMap;      // the bytes of map.txt
    ScriptReader readScript;  // the bytes of map.lua, read only while scripting is installed
    WindowActions window;
    LevelFileReader readLevelFile = readLevelFileFromDisk;  // a script's sounds and images
};

// A host without a window: the clock stands at 0, a frame only empties the queues as drawing
// would, waiting returns at once, no images, map.txt read from the working folder, window
// actions do nothing.
Host headlessHost();
const Host& host();  // the installed host; headlessHost until one is installed

void installHost(const Host& installed);

// Installs a host for its lifetime and puts back the one it replaced.
class ScopedHost {
public:
    explicit ScopedHost(const Host& installed);
    ~ScopedHost();
    ScopedHost(const ScopedHost&) = delete;
    ScopedHost& operator=(const ScopedHost&) = delete;

private:
    Host previous_;
};

// The default map reader: map.txt in the working folder.
bool readMapFromDisk(std::vector<uint8_t>& bytes, std::string& why);
// The most of map.lua the game reads; a larger file is replaced by a script saying so.
constexpr size_t kMaxScriptBytes = 16u * 1024u * 1024u;
// The default script reader: map.lua in the working folder, when it is a regular file whose real
// path lies inside that folder.
bool readScriptFromDisk(std::vector<uint8_t>& bytes);
// What a frame does to the sheets' queues, without GL: the lights queued last frame gone, this
// frame's queued, the sprite batches empty.
void queueOnlyFrame();
