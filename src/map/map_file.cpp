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

#include "core/refusal.h"
#include "map/map_quad.h"
#include "render/texture.h"

namespace {

const char* const kMapFile = kMapFileName;
const char* const kTempFile = "map.txt.tmp";
const char* const kBackupFile = "map.txt.bak";
const char* const kBackupTempFile = "map.txt.bak.tmp";

std::string failure(const char* action, const char* file, int error) {
    return std::string("cannot ") + action + " " + file + ": " + std::strerror(error);
}

// What a killed save may have left behind. Failing here is not reported: whatever keeps the
// name in place makes the step that needs it fail with its own reason.
void removeStale(const char* file) { unlink(file); }

bool writeAll(std::FILE* file, const uint8_t* bytes, size_t size) {
    return std::fwrite(bytes, 1, size, file) == size;
}

// Writes bytes to file and flushes them to the disk; an empty string on success, else the
// reason (the file is then removed).
std::string writeDurably(const char* file, const uint8_t* bytes, size_t size) {
    std::FILE* out = std::fopen(file, "wb");
    if (out == nullptr) return failure("create", file, errno);
    bool ok = size == 0 || writeAll(out, bytes, size);
    int error = ok ? 0 : errno;
    if (ok && std::fflush(out) != 0) {
        ok = false;
        error = errno;
    }
    if (ok && fsync(fileno(out)) != 0) {
        ok = false;
        error = errno;
    }
    if (std::fclose(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok) return std::string();
    std::remove(file);
    return failure("write", file, error);
}

// For a file system without hard links: the old map copied under the backup's temporary name.
std::string copyToBackupTemp() {
    std::vector<uint8_t> content;
    std::string why;  // errno says it in the words of the other failures
    if (!readMapFile(kMapFile, content, why)) return failure("read", kMapFile, errno);
    return writeDurably(kBackupTempFile, content.data(), content.size());
}

// Makes map.txt.bak the current map.txt. A second name for the old file is renamed over the
// backup, so the backup is always one whole earlier map, never a torn copy, and costs no space.
std::string backUpCurrentMap() {
    struct stat info;
    if (stat(kMapFile, &info) != 0) {
        if (errno == ENOENT) return std::string();  // nothing to keep yet
        return failure("read", kMapFile, errno);
    }
    // Only a map is replaced: a folder or a pipe of that name is left alone.
    if (!S_ISREG(info.st_mode)) return std::string("cannot replace ") + kMapFile + ": not a regular file";
    if (link(kMapFile, kBackupTempFile) != 0) {
        const int error = errno;
        if (error == ENOSPC || error == EDQUOT || error == EROFS || error == EACCES) {
            return failure("link", kBackupTempFile, error);
        }
        const std::string copied = copyToBackupTemp();
        if (!copied.empty()) return copied;
    }
    if (std::rename(kBackupTempFile, kBackupFile) != 0) {
        const std::string reason = failure("replace", kBackupFile, errno);
        removeStale(kBackupTempFile);
        return reason;
    }
    // When the backup already was this very file, rename kept both names: drop the spare one.
    removeStale(kBackupTempFile);
    return std::string();
}

// Makes the renames themselves survive a power cut.
void syncFolder() {
    const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    if (fsync(folder) != 0 && errno != EINVAL) {
        std::cerr << "Map saved, but the folder could not be synced: " << std::strerror(errno)
                  << std::endl;
    }
    close(folder);
}

const char* describeNonRegular(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a directory";
    if (S_ISFIFO(mode)) return "it is a named pipe, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
    return "it is not a regular file";
}

}  // namespace

bool readMapFile(const char* path, std::vector<uint8_t>& bytes, std::string& why) {
    bytes.clear();
    why.clear();
    // Non-blocking, so a pipe or device of that name cannot stall the game in open.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error != ENOENT) why = std::strerror(error);
        errno = error;
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int error = errno;
        why = std::strerror(error);
        close(fd);
        errno = error;
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        why = describeNonRegular(info.st_mode);
        close(fd);
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    // Room for the whole file at once: a large map is otherwise copied at every doubling.
    if (info.st_size > 0) bytes.reserve(static_cast<size_t>(info.st_size));
    uint8_t buffer[65536];
    bool ok = true;
    int error = 0;
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            bytes.insert(bytes.end(), buffer, buffer + got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;
            error = errno;
            break;
        }
    }
    close(fd);
    if (!ok) {
        bytes.clear();
        why = std::strerror(error);
        errno = error;
    }
    return ok;
}

void createMapQuads(const MapData& map) {
    const bool textured = findTexture("image.png") != nullptr;  // no quad made here loads a sheet
    for (const QuadRecord& record : map.records) createQuad(record.corners, textured);
}

std::vector<QuadRecord> currentMapRecords() {
    std::vector<QuadRecord> records(mapQuads().size());
    for (size_t i = 0; i < mapQuads().size(); ++i) {
        const MapQuad& quad = mapQuads()[i];
        for (int k = 0; k < 4; ++k) {
            records[i].corners[2 * k] = quad.vertices[k].x;
            records[i].corners[2 * k + 1] = quad.vertices[k].y;
        }
        records[i].tag = quad.tag ? 1 : 0;
    }
    return records;
}

bool saveMap(std::string& why) {
    // The new map is written beside the old one and swapped in only when complete, so a full
    // disk or a crash never leaves a truncated map.txt; the previous map becomes map.txt.bak.
    removeStale(kTempFile);
    removeStale(kBackupTempFile);
    const std::vector<uint8_t> bytes = encodeMap(currentMapRecords());
    std::string reason = writeDurably(kTempFile, bytes.data(), bytes.size());
    if (reason.empty()) reason = backUpCurrentMap();
    if (reason.empty() && std::rename(kTempFile, kMapFile) != 0) {
        reason = failure("replace", kMapFile, errno);
    }
    if (!reason.empty()) {
        removeStale(kTempFile);
        std::cerr << "Map not saved: " << reason << std::endl;
        return refuse(why, reason);
    }
    syncFolder();
    return true;
}
