// level_catalog.cpp: finding level files and reading their cards.
#include "app/level_catalog.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/best_scores.h"
#include "level/level_file.h"

namespace fs = std::filesystem;

// Set for this file by the build: where the build's own programs find the levels it packed.
#ifndef KELVORAN_BUILD_FOLDER
#define KELVORAN_BUILD_FOLDER ""
#endif

namespace {
// A thumbnail bigger than this is not a thumbnail; the card goes without a picture.
constexpr int32_t kMaxThumbnailSide = 1024;

std::string absoluteNormal(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return (error ? fs::path(path) : absolute).lexically_normal().string();
}

bool sameFolder(const std::string& a, const std::string& b) {
    std::error_code error;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, error);
}

// RGBA whatever the PNG held, so the picker uploads one format.
void expandToRgba(DecodedImage& image) {
    if (image.channels == 4) return;
    std::vector<uint8_t> rgba(static_cast<size_t>(image.width) * image.height * 4);
    const size_t pixels = static_cast<size_t>(image.width) * image.height;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* from = &image.pixels[i * image.channels];
        uint8_t* to = &rgba[i * 4];
        const bool colour = image.channels >= 3;
        to[0] = from[0];
        to[1] = colour ? from[1] : from[0];
        to[2] = colour ? from[2] : from[0];
        to[3] = image.channels == 2 ? from[1] : image.channels == 4 ? from[3] : 255;
    }
    image.pixels.swap(rgba);
    image.channels = 4;
}
}  // namespace

std::vector<std::string> listLevelFiles(const std::vector<std::string>& folders,
                                        const std::vector<std::string>& given) {
    std::vector<std::string> files;
    std::set<std::string> seen;
    const auto add = [&](const std::string& path) {
        const std::string absolute = absoluteNormal(path);
        if (seen.insert(absolute).second) files.push_back(absolute);
    };
    for (const std::string& folder : folders) {
        std::error_code error;
        std::vector<std::string> found;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            std::error_code statError;
            if (it->path().extension() == kLevelExtension && it->is_regular_file(statError))
                found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        for (const std::string& path : found) add(path);
    }
    for (const std::string& path : given) add(path);
    return files;
}

std::vector<std::string> levelFolders(const std::string& executableFolder, const std::string& shipped,
                                      const std::string& userData) {
    std::vector<std::string> folders;
    if (sameFolder(executableFolder, KELVORAN_BUILD_FOLDER)) {
        folders.push_back((fs::path(KELVORAN_BUILD_FOLDER) / "levels").string());
    } else if (!shipped.empty()) {
        folders.push_back((fs::path(shipped) / "levels").string());
    }
    if (!userData.empty()) folders.push_back((fs::path(userData) / "levels").string());
    return folders;
}

std::string levelPlayFolder(const std::string& userData, const std::string& id) {
    // The game names its folder as the system gives it once entered: links resolved.
    std::error_code error;
    const fs::path folder = fs::path(userData) / "levels" / id;
    const fs::path resolved = fs::weakly_canonical(folder, error);
    return (error ? folder : resolved).string();
}

void refreshLevelBest(LevelCard& card, const std::string& bestFile, const std::string& userData) {
    card.hasBest = card.readable && readBestScore(bestFile, levelPlayFolder(userData, card.id), card.best);
}

LevelCard readLevelCard(const std::string& path, const std::string& bestFile, const std::string& userData) {
    LevelCard card;
    card.path = path;
    LevelFile level;
    if (!readLevelFileAt(path, level, card.problem)) {
        card.title = fs::path(path).filename().string();
        return card;
    }
    card.readable = true;
    card.id = level.manifest.id;
    card.title = level.manifest.title;
    card.author = level.manifest.author;
    card.description = level.manifest.description;
    if (const std::vector<uint8_t>* png = level.find(level.manifest.thumbnail)) {
        PngLimits limits;
        limits.maxSide = kMaxThumbnailSide;
        std::string ignored;  // a level without a picture still plays; its card shows none
        if (decodePng(png->data(), png->size(), limits, card.thumbnail, ignored)) expandToRgba(card.thumbnail);
    }
    refreshLevelBest(card, bestFile, userData);
    return card;
}
