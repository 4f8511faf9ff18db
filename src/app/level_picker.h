// level_picker.h: the level picker in the game's window: every installed level file, the user's
// own and those named on the command line as a grid of cards; Enter or a double-click plays
// one in the same window, and Esc in the level comes back here.
#pragma once
#include <string>
#include <vector>

// Opens the window on the picker and runs until it is closed or quit. given: level files named
// on the command line. Returns the exit status.
int runLevelPicker(int argc, char** argv, const std::vector<std::string>& given);
