// recording.h: the session recorder. The window system's callbacks, the clock and the map reader
// are wrapped at their seams, so every callback is written with the clock readings it took, in
// order, without the handlers knowing. Writes reach the file at least once a second.
#pragma once
#include "game/main_loop.h"
#include <cstdint>
#include <string>
#include <vector>

constexpr const char* kRecordingsFolder = "recordings";  // beside map.txt
constexpr int kKeptRecordings = 20;
constexpr int32_t kCheckpointSteps = 100;

// Starts a new session file, session-YYYYMMDD-HHMMSS.krec (local time; _02, _03... when the name
// is taken), in folder, created if missing, and deletes the oldest sessions beyond
// kKeptRecordings. False, with one line on standard error, when nothing can be recorded.
bool beginSessionRecording(const std::string& folder, int argc, char** argv);
// The same into exactly path (replaced if present): for tools and tests.
bool beginRecording(const std::string& path, int argc, char** argv);
bool isRecording();
std::string recordingPath();  // empty when not recording

// The clock seam passes every reading (ms) through here; returns it unchanged.
int32_t recordReading(int32_t ms);
// A map reader for the host: reads map.txt from disk and records what it found.
bool readAndRecordMap(std::vector<uint8_t>& bytes, std::string& why);
// A script reader for the host: reads map.lua from disk and records what it found whenever it
// differs from the read before.
bool readAndRecordScript(std::vector<uint8_t>& bytes);
// The level file as the game reads it, recorded with what the read found.
bool readAndRecordLevelFile(const std::string& name, std::vector<uint8_t>& bytes, std::string& problem);
// Closes the start-up: the clock readings taken since beginRecording.
void recordStartupDone();

// Callback wrappers with the handlers' signatures: each runs its handler and records it.
// runPass, written down; adds a checkpoint every kCheckpointSteps steps.
PassReport recordedPass();
void recordedReshape(int width, int height);
void recordedKeyDown(unsigned char key, int x, int y);
void recordedKeyUp(unsigned char key, int x, int y);
void recordedMouseButton(int button, int state, int x, int y);
void recordedSpecialKey(int key, int x, int y);
// The modifier keys the window system reports with a key or button event, handed over just
// before it; written only when they differ from the last ones (none at start).
void recordedModifiers(int modifiers);
void recordedMotion(int x, int y);
void recordedPassiveMotion(int x, int y);
// Records the window's closing; the caller then frees what goes with the window.
void recordClose();

// Writes the final state hash and closes the file; a no-op when not recording.
void endRecording();
// Closes the file as it stands (no final entry) and forgets the session: as at start-up.
void resetRecorder();
// Steps run since start-up, as the recorder counted them.
int64_t recordedSteps();
