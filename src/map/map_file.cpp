// map_file.cpp: reads map.txt into quads and writes the quads back, never leaving a torn file.
#include "map/map_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "map/map_quad.h"

namespace {

const char* const kMapFile = kMapFileName;
const char* const kTempFile = "map.txt.tmp";
const char* const kBackupFile = "map.txt.bak";

bool writeAll(std::FILE* file, const uint8_t* bytes, size_t size) {
    return std::fwrite(bytes, 1, size, file) == size;
}

// Writes the whole map to the temporary file; an empty string on success, else the reason.
std::string writeTempFile() {
    std::FILE* file = std::fopen(kTempFile, "wb");
    if (file == nullptr) return std::string("cannot create ") + kTempFile + ": " + std::strerror(errno);
    const std::vector<uint8_t> bytes = encodeMap(currentMapRecords());
    bool ok = writeAll(file, bytes.data(), bytes.size());
    int error = ok ? 0 : errno;
    if (ok && std::fflush(file) != 0) {
        ok = false;
        error = errno;
    }
    if (ok && fsync(fileno(file)) != 0) {
        ok = false;
        error = errno;
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok) return std::string();
    std::remove(kTempFile);
    return std::string("cannot write ") + kTempFile + ": " + std::strerror(error);
}

// Copies the current map.txt to map.txt.bak; an empty string on success, else the reason.
// The old map is read completely before the backup is touched, so an unreadable map.txt
// (a directory, say) never costs the previous backup.
std::string backUpCurrentMap() {
    std::FILE* in = std::fopen(kMapFile, "rb");
    if (in == nullptr) {
        if (errno == ENOENT) return std::string();  // nothing to keep yet
        return std::string("cannot read ") + kMapFile + ": " + std::strerror(errno);
    }
    std::vector<unsigned char> content;
    unsigned char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        content.insert(content.end(), buffer, buffer + got);
    }
    const bool readFailed = std::ferror(in) != 0;
    const int readError = errno;
    std::fclose(in);
    if (readFailed) return std::string("cannot read ") + kMapFile + ": " + std::strerror(readError);

    std::FILE* out = std::fopen(kBackupFile, "wb");
    if (out == nullptr) return std::string("cannot create ") + kBackupFile + ": " + std::strerror(errno);
    bool ok = content.empty() || writeAll(out, content.data(), content.size());
    int error = ok ? 0 : errno;
    if (std::fclose(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok) return std::string();
    return std::string("cannot write ") + kBackupFile + ": " + std::strerror(error);
}

}  // namespace

bool readMapFile(const char* path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    // Non-blocking, so a pipe or device of that name cannot stall the game in open.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    uint8_t buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            bytes.insert(bytes.end(), buffer, buffer + got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;
            break;
        }
    }
    close(fd);
    if (!ok) bytes.clear();
    return ok;
}

void createMapQuads(const MapData& map) {
    for (const QuadRecord& record : map.records) {
        const float* c = record.corners;
        createQuad(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    }
}

std::vector<QuadRecord> currentMapRecords() {
    std::vector<QuadRecord> records(mapQuads.size());
    for (size_t i = 0; i < mapQuads.size(); ++i) {
        const MapQuad& quad = *mapQuads[i];
        for (int k = 0; k < 4; ++k) {
            records[i].corners[2 * k] = quad.vertices[k].x;
            records[i].corners[2 * k + 1] = quad.vertices[k].y;
        }
        records[i].tag = quad.tag ? 1 : 0;
    }
    return records;
}

MapSaveResult saveMap() {
    // The new map is written beside the old one and swapped in only when complete, so a full
    // disk or a crash never leaves a truncated map.txt; the previous map stays in map.txt.bak.
    std::string failure = writeTempFile();
    if (failure.empty()) {
        failure = backUpCurrentMap();
        if (failure.empty() && std::rename(kTempFile, kMapFile) != 0) {
            failure = std::string("cannot replace ") + kMapFile + ": " + std::strerror(errno);
        }
        if (!failure.empty()) std::remove(kTempFile);
    }
    if (!failure.empty()) std::cerr << "Map not saved: " << failure << std::endl;
    MapSaveResult result;
    result.saved = failure.empty();
    result.failure = failure;
    return result;
}
