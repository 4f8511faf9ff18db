// sheet_folders.cpp: the sheet search path.
#include "render/sheet_folders.h"

#include <sys/stat.h>

#include <utility>

namespace {
std::vector<std::string> folders;
}  // namespace

void setSheetFolders(std::vector<std::string> searched) { folders = std::move(searched); }

const std::vector<std::string>& sheetFolders() { return folders; }

std::string findSheetFile(const std::string& fileName) {
    if (folders.empty()) return fileName;
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + fileName;
        struct stat info;
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return path;
    }
    return std::string();
}
