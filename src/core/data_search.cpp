// data_search.cpp: the data files' search path.
#include "core/data_search.h"

#include <sys/stat.h>

#include <utility>

namespace {
std::vector<std::string> folders;
}  // namespace

void setDataFolders(std::vector<std::string> searched) { folders = std::move(searched); }

const std::vector<std::string>& dataFolders() { return folders; }

std::string findDataFile(const std::string& fileName) {
    if (folders.empty()) return fileName;
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + fileName;
        struct stat info;
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return path;
    }
    return std::string();
}
