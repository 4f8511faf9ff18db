// session_replay.h: plays a decoded session recording through the game's one start-up and its
// handlers, headless as fast as it goes or in a window at the recorded speed, checking the
// state hash at every checkpoint.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "app/recording_format.h"

struct ReplaySettings {
    std::string folder;        // absolute; the session runs here (map.txt, saves)
    std::string imageFolder;   // absolute; where a watched replay reads the sheets' images
    int64_t untilStep = -1;    // stop once this many steps have run; -1 plays to the end
    bool watch = false;        // in a real window (needs a display), at the recorded speed
    // Asked before every entry; a non-empty answer ends the replay as Refused with that reason
    // (an interrupt, too much output).
    std::function<std::string()> stopReason;
};

struct ReplayResult {
    // Refused: nothing more was played, for the reason in refusal (a limit, a folder).
    enum class Outcome { Matches, Diverged, Stopped, CutShort, Refused };
    Outcome outcome = Outcome::CutShort;
    int64_t steps = 0;      // logic steps run
    uint64_t hash = 0;      // the state hash where the replay ended
    uint64_t expected = 0;  // the recorded hash, when diverged
    int64_t divergedAt = 0; // the step of the checkpoint that differed
    std::string summary;    // describeState where the replay ended
    std::string refusal;    // why, when Refused
};

// What a frame leaves in the sheets' queues, without GL: the lights queued last frame gone, this
// frame's queued, the sprite batches empty. For runs without a window.
void queueOnlyFrame();

// Runs the start-up with the recorded arguments (printing the game's console lines), then every
// recorded callback in order, and frees everything again. Changes the working folder to
// settings.folder. Notes about passes that ran differently go to standard error.
ReplayResult playRecording(const Recording& recording, const ReplaySettings& settings);
