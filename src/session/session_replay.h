// session_replay.h: plays a decoded session recording through the game's one start-up and its
// handlers, headless as fast as it goes or in a window at the recorded speed, checking the
// state hash at every checkpoint.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "game/game.h"
#include "game/host.h"
#include "session/recording_format.h"

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
    uint64_t sharedHash = 0;  // sharedStateHash where the replay ended
    uint64_t expected = 0;  // the recorded hash, when diverged
    int64_t divergedAt = 0; // the step of the checkpoint that differed
    std::string summary;    // describeState where the replay ended
    std::string refusal;    // why, when Refused
};

// Runs the start-up with the recorded arguments (printing the game's console lines), then every
// recorded callback in order, and frees everything again, without a window and as fast as it
// goes. Changes the working folder to settings.folder. Notes about passes that ran differently
// go to standard error.
ReplayResult playRecording(const Recording& recording, const ReplaySettings& settings);

// The same in steps, for a window that plays the entries at their recorded times. beginReplay
// installs base with the recording's clock, map and window actions in place of its own, enters
// startFolder and runs the start-up with openWindow; the caller restores its host after endReplay.
// False, with the outcome Refused, when startFolder cannot be entered: nothing was started.
bool beginReplay(const Recording& recording, const ReplaySettings& settings, const Host& base,
                 const std::string& startFolder, OpenWindowFunction openWindow);
void refuseReplay(const std::string& reason);  // ends it as Refused unless it is over
bool playNextEntry();     // plays the next entry unless the replay is over; false once it is
int32_t nextEntryTime();  // the first clock reading of the next entry; -1 when it has none
int32_t replayClock();    // the last clock reading the replay handed out
void stopReplay();        // the viewer stopped it: the outcome is Stopped
ReplayResult endReplay();  // the result, the state's summary, and the game shut down
