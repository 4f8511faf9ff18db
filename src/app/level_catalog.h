// level_catalog.h: the level files the picker offers, and what a card shows of each. Reading a
// card never fails: a file that cannot be read becomes a card holding the reason.
#pragma once
#include <string>
#include <vector>

#include "render/png_image.h"

struct LevelCard {
    std::string path;     // absolute
    bool readable = false;
    std::string problem;  // why it cannot be played, one line; empty when readable
    std::string id, title, author, description;
    DecodedImage thumbnail;  // RGBA; empty when the file has none that decodes
    bool hasBest = false;
    double best = 0;  // the player's best result, as the finish counted it
};

// The level files (*.kvlevel, regular files) in each folder in name order, then each of given:
// all made absolute, each path once. Folders that do not exist are skipped.
std::vector<std::string> listLevelFiles(const std::vector<std::string>& folders,
                                        const std::vector<std::string>& given);

// The folders of installed levels for a program in executableFolder (the build's own levels
// for the build's programs), then the user's own levels in userData/levels.
std::vector<std::string> levelFolders(const std::string& executableFolder, const std::string& shipped,
                                      const std::string& userData);

// Reads the file at path for its card; the best comes from bestFile, under the folder the level
// is played in (userData/levels/ID).
LevelCard readLevelCard(const std::string& path, const std::string& bestFile, const std::string& userData);
// The best of an already read card again (after a level was played).
void refreshLevelBest(LevelCard& card, const std::string& bestFile, const std::string& userData);

// The play folder of a level id, as the game names it once it has entered it.
std::string levelPlayFolder(const std::string& userData, const std::string& id);
