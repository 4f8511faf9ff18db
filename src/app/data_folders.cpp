// data_folders.cpp: choosing and entering the folders the game reads and writes.
#include "app/data_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/data_search.h"
#include "render/texture.h"

namespace fs = std::filesystem;

// Set for this file by the build: where the programs are installed and built.
#ifndef KELVORAN_INSTALL_DATADIR
#define KELVORAN_INSTALL_DATADIR ""
#endif
#ifndef KELVORAN_RELATIVE_DATADIR
#define KELVORAN_RELATIVE_DATADIR "../share/kelvoran"
#endif
#ifndef KELVORAN_BUILD_FOLDER
#define KELVORAN_BUILD_FOLDER ""
#endif
#ifndef KELVORAN_SOURCE_ASSETS
#define KELVORAN_SOURCE_ASSETS ""
#endif

namespace {
constexpr const char* kMapFile = "map.txt";

bool isFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

std::string normal(const fs::path& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return (error ? path : absolute).lexically_normal().string();
}
}  // namespace

bool holdsGameFiles(const std::string& folder) {
    if (isFile(fs::path(folder) / kMapFile)) return true;
    for (const SheetSpec& sheet : startupSheets)
        if (isFile(fs::path(folder) / sheet.fileName)) return true;
    return false;
}

DataFolders chooseDataFolders(const FolderFacts& facts) {
    DataFolders folders;
    if (!facts.level.empty() && facts.levelReadOnly) {
        folders.play = (fs::path(facts.userData) / "levels" / fs::path(facts.level).filename()).string();
        folders.copyLevelFrom = facts.level;
        folders.createPlay = true;
        folders.sheets.push_back(folders.play);
        if (!facts.shipped.empty()) folders.sheets.push_back(facts.shipped);
        return folders;
    }
    if (!facts.level.empty()) {
        folders.play = facts.level;
        folders.sheets.push_back(facts.level);
        if (!facts.shipped.empty()) folders.sheets.push_back(facts.shipped);
        return folders;
    }
    if (holdsGameFiles(facts.working)) {
        folders.play = facts.working;
        return folders;
    }
    folders.play = facts.userData;
    folders.createPlay = true;
    if (!facts.shipped.empty()) {
        folders.sheets.push_back(facts.shipped);
        const fs::path starter = fs::path(facts.shipped) / kMapFile;
        if (isFile(starter)) folders.starterMap = starter.string();
    } else {
        folders.sheets.push_back(facts.userData);  // never the working folder's files
    }
    return folders;
}

std::string userDataFolder(const char* xdgDataHome, const char* home) {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules ask.
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/')
        return (fs::path(xdgDataHome) / "kelvoran").lexically_normal().string();
    const std::string base = home != nullptr ? home : "";
    return (fs::path(base.empty() ? "/" : base) / ".local/share/kelvoran").lexically_normal().string();
}

std::string findShippedData(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        if (candidate.empty()) continue;
        // The first start-up sheet tells the game's data from a folder that merely exists.
        if (isFile(fs::path(candidate) / startupSheets[0].fileName)) return normal(candidate);
    }
    return std::string();
}

std::vector<std::string> shippedDataCandidates(const std::string& executableFolder) {
    std::vector<std::string> candidates;
    candidates.push_back(normal(fs::path(executableFolder) / KELVORAN_RELATIVE_DATADIR));
    // The source tree's assets only for the programs of the build that made them.
    if (!executableFolder.empty() && normal(executableFolder) == normal(KELVORAN_BUILD_FOLDER))
        candidates.push_back(KELVORAN_SOURCE_ASSETS);
    candidates.push_back(KELVORAN_INSTALL_DATADIR);
    return candidates;
}

FolderFacts currentFolderFacts(const std::string& level) {
    FolderFacts facts;
    std::error_code error;
    facts.working = normal(fs::current_path(error));
    if (!level.empty()) facts.level = normal(level);
    facts.levelReadOnly = !facts.level.empty() && fs::is_directory(facts.level, error) &&
                          access(facts.level.c_str(), W_OK) != 0;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    facts.userData = userDataFolder(std::getenv("XDG_DATA_HOME"), home);
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (!error) facts.shipped = findShippedData(shippedDataCandidates(executable.parent_path().string()));
    return facts;
}

namespace {
// The level's files into a fresh play folder: copied beside it first and renamed into place, so
// a copy cut short is never taken for the level. The copies are the player's to change.
bool copyLevel(const std::string& from, const std::string& to, std::ostream& err) {
    std::error_code error;
    if (fs::exists(fs::symlink_status(to, error))) return true;  // copied once already
    const fs::path part = to + ".part";
    fs::remove_all(part, error);
    fs::create_directories(fs::path(to).parent_path(), error);
    fs::copy(from, part, fs::copy_options::recursive, error);
    if (!error) {
        for (const auto& entry : fs::recursive_directory_iterator(part, error))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, error);
        fs::permissions(part, fs::perms::owner_all, fs::perm_options::add, error);
    }
    if (!error) fs::rename(part, to, error);
    if (!error) return true;
    err << "kelvoran: cannot copy the level " << from << " to " << to << ": " << error.message() << std::endl;
    fs::remove_all(part, error);
    return false;
}
}  // namespace

bool enterDataFolders(const DataFolders& folders, std::ostream& err) {
    std::error_code error;
    if (!folders.copyLevelFrom.empty() && !copyLevel(folders.copyLevelFrom, folders.play, err)) return false;
    if (folders.createPlay) fs::create_directories(folders.play, error);
    if (error || !fs::is_directory(folders.play, error)) {
        err << "kelvoran: cannot use " << folders.play << " for the map and recordings: "
            << (error ? error.message() : "not a folder") << std::endl;
        return false;
    }
    const fs::path map = fs::path(folders.play) / kMapFile;
    if (!folders.starterMap.empty() && !fs::exists(fs::symlink_status(map, error))) {
        fs::copy_file(folders.starterMap, map, error);
        // Without the copy the game starts with an empty map; saving still works.
        if (error) err << "kelvoran: cannot copy the starter map to " << map.string() << ": "
                       << error.message() << std::endl;
    }
    if (chdir(folders.play.c_str()) != 0) {
        err << "kelvoran: cannot enter " << folders.play << std::endl;
        return false;
    }
    setDataFolders(folders.sheets);
    return true;
}
