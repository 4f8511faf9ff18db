// best_scores.cpp: the per-level best results in one small text file.
#include "app/best_scores.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "app/data_folders.h"
#include "core/refusal.h"

namespace fs = std::filesystem;

namespace {
struct Entry {
    double score = 0;
    std::string level;
};

std::vector<Entry> readEntries(const std::string& file) {
    std::vector<Entry> entries;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab + 1 >= line.size()) continue;
        char* end = nullptr;
        const std::string number = line.substr(0, tab);
        const double score = std::strtod(number.c_str(), &end);
        if (end == number.c_str() || *end != '\0') continue;  // a line not ours is dropped
        entries.push_back({score, line.substr(tab + 1)});
    }
    return entries;
}

std::string writeEntries(const std::string& file, const std::vector<Entry>& entries) {
    std::error_code error;
    fs::create_directories(fs::path(file).parent_path(), error);
    const std::string temporary = file + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        char number[40];
        for (const Entry& entry : entries) {
            std::snprintf(number, sizeof number, "%.17g", entry.score);
            out << number << '\t' << entry.level << '\n';
        }
        out.flush();
        if (!out) return "cannot write " + temporary + ": " + std::strerror(errno);
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        std::remove(temporary.c_str());
        return "cannot replace " + file + ": " + why;
    }
    return std::string();
}
}  // namespace

bool noteLevelScore(const std::string& file, const std::string& level, double score, bool higherIsBetter,
                    BestNote& note, std::string& why) {
    note = BestNote();
    if (level.find_first_of("\r\n") != std::string::npos) return true;  // one level per line
    std::vector<Entry> entries = readEntries(file);
    Entry* held = nullptr;
    for (Entry& entry : entries)
        if (entry.level == level) held = &entry;
    if (held != nullptr) {
        note.hadBest = true;
        note.previous = held->score;
        const bool better = higherIsBetter ? score > held->score : score < held->score;
        if (!better) return true;
        held->score = score;
    } else {
        entries.push_back({score, level});
    }
    note.improved = true;
    std::string unwritten = writeEntries(file, entries);
    return unwritten.empty() || refuse(why, std::move(unwritten));
}

std::string bestScoresFile() {
    const char* home = std::getenv("HOME");
    return (fs::path(userDataFolder(std::getenv("XDG_DATA_HOME"), home)) / "best.txt").string();
}

bool readBestScore(const std::string& file, const std::string& level, double& score) {
    for (const Entry& entry : readEntries(file)) {
        if (entry.level != level) continue;
        score = entry.score;
        return true;
    }
    return false;
}
