// watch_window.h: a recorded session played again in a real window at the recorded speed.
#pragma once

#include "session/session_replay.h"

// Plays recording in a window (needs a display): the sheets' images are read from
// settings.imageFolder, then the session runs in settings.folder; Esc or closing the window
// stops it. Input to the window never reaches the game.
ReplayResult watchRecording(const Recording& recording, const ReplaySettings& settings);
