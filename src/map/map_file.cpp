// map_file.cpp: reads and writes map.txt, a float32 quad count and 33-byte quad records.
#include "map/map_file.h"

#include <box2d/box2d.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "map/map_quad.h"
#include "map/physics_world.h"

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
              "map.txt stores IEEE float32");

namespace {

const char* const kMapFile = "map.txt";
const char* const kTempFile = "map.txt.tmp";
const char* const kBackupFile = "map.txt.bak";
constexpr size_t kRecordSize = 33;  // 8 x float32 corners, 1 tag byte

float decodeFloat(const unsigned char* bytes) {
    const uint32_t bits = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                          static_cast<uint32_t>(bytes[2]) << 16 |
                          static_cast<uint32_t>(bytes[3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void encodeFloat(float value, unsigned char* bytes) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
}

// The running world is replaced only once the new map is known to be readable, so a failed
// reload leaves the game exactly as it was.
void replaceWorld() {
    b2World* old = createWorld();
    moveActorBodiesTo(*getWorld());
    clearMapQuads(false);  // their bodies go with the old world
    delete old;
}

bool writeAll(std::FILE* file, const unsigned char* bytes, size_t size) {
    return std::fwrite(bytes, 1, size, file) == size;
}

// Writes the whole map to the temporary file; an empty string on success, else the reason.
std::string writeTempFile() {
    std::FILE* file = std::fopen(kTempFile, "wb");
    if (file == nullptr) return std::string("cannot create ") + kTempFile + ": " + std::strerror(errno);
    bool ok = true;
    unsigned char header[4];
    encodeFloat(static_cast<float>(mapQuads.size()), header);
    ok = writeAll(file, header, sizeof header);
    for (const MapQuad* quad : mapQuads) {
        if (!ok) break;
        unsigned char record[kRecordSize];
        for (int k = 0; k < 4; ++k) {
            encodeFloat(quad->vertices[k].x, record + 8 * k);
            encodeFloat(quad->vertices[k].y, record + 8 * k + 4);
        }
        record[32] = quad->tag ? 1 : 0;
        ok = writeAll(file, record, sizeof record);
    }
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

// map.txt for reading, or nullptr; a directory of that name opens on Linux but holds no map,
// and must not cost a running game its map on a reload.
std::FILE* openMapForReading() {
    std::FILE* file = std::fopen(kMapFile, "rb");
    if (file == nullptr) return nullptr;
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

}  // namespace

void loadMap() {
    const bool startUp = getWorld() == nullptr;
    if (startUp) createWorld();
    std::FILE* file = openMapForReading();
    std::cout << "Loading map.txt" << std::endl;
    if (file == nullptr) return;
    if (!startUp) replaceWorld();
    std::cout << "File exist" << std::endl;

    float count = 0.0f;
    unsigned char header[4];
    if (std::fread(header, 1, sizeof header, file) == sizeof header) count = decodeFloat(header);
    std::cout << "Find " << static_cast<double>(count) << " quads" << std::endl;

    // The count is only a promise: records are read one at a time and the loop ends with the
    // data, so a short file or an absurd count never builds a quad from bytes that are not there.
    int64_t i = 0;
    while (static_cast<double>(count) > static_cast<double>(i)) {
        unsigned char record[kRecordSize];
        if (std::fread(record, 1, sizeof record, file) != sizeof record) break;
        float corners[8];
        for (int k = 0; k < 8; ++k) corners[k] = decodeFloat(record + 4 * k);
        const bool tag = record[32] != 0;
        ++i;
        std::cout << i << ".(";
        for (float value : corners) std::cout << value << ",";
        std::cout << tag << ")" << std::endl;
        // The tag byte is only echoed: a loaded quad starts untagged.
        createQuad(corners[0], corners[1], corners[2], corners[3], corners[4], corners[5],
                   corners[6], corners[7]);
    }
    std::cout << "End of loading" << std::endl;
    std::fclose(file);
}

void saveMap() {
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
}
