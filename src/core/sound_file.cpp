// sound_file.cpp: decoding through libsndfile's virtual I/O, from bytes in memory.
#include "core/sound_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {
constexpr sf_count_t kChunkFrames = 4096;
constexpr uintmax_t kMaxFileBytes = uintmax_t{64} << 20;  // a 30 s 8-channel 32-bit file fits

struct MemoryFile {
    const uint8_t* data = nullptr;
    sf_count_t size = 0;
    sf_count_t at = 0;
};

sf_count_t memoryLength(void* user) { return static_cast<MemoryFile*>(user)->size; }

sf_count_t memorySeek(sf_count_t offset, int whence, void* user) {
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = file.at;
    if (whence == SEEK_END) base = file.size;
    // Out-of-range seeks fail without moving, as a file's would past its start.
    if ((offset < 0 && -offset > base) || (offset > 0 && offset > file.size - base)) return -1;
    file.at = base + offset;
    return file.at;
}

sf_count_t memoryRead(void* into, sf_count_t count, void* user) {
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    const sf_count_t taken = std::max<sf_count_t>(0, std::min(count, file.size - file.at));
    if (taken > 0) std::memcpy(into, file.data + file.at, static_cast<size_t>(taken));
    file.at += taken;
    return taken;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*) { return 0; }  // read-only
sf_count_t memoryTell(void* user) { return static_cast<MemoryFile*>(user)->at; }

bool refuse(const std::string& why, SoundData& sound, std::string& error) {
    sound = SoundData();
    error = why;
    return false;
}

// libsndfile's reasons may run over lines; the caller prints one.
std::string oneLine(const char* text) {
    std::string line = text ? text : "unknown error";
    std::replace(line.begin(), line.end(), '\n', ' ');
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

class OpenSound {
public:
    OpenSound(MemoryFile& file, SF_INFO& info) {
        SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
        handle_ = sf_open_virtual(&io, SFM_READ, &info, &file);
    }
    ~OpenSound() {
        if (handle_) sf_close(handle_);
    }
    OpenSound(const OpenSound&) = delete;
    OpenSound& operator=(const OpenSound&) = delete;
    SNDFILE* handle() const { return handle_; }

private:
    SNDFILE* handle_ = nullptr;
};
}  // namespace

bool decodeSound(const uint8_t* data, size_t size, const SoundLimits& limits, SoundData& sound,
                 std::string& error) {
    MemoryFile file{data, static_cast<sf_count_t>(size), 0};
    SF_INFO info{};
    const OpenSound opened(file, info);
    if (!opened.handle()) return refuse("not a sound file: " + oneLine(sf_strerror(nullptr)), sound, error);
    if (info.channels < 1 || info.channels > limits.maxChannels)
        return refuse(std::to_string(info.channels) + " channels", sound, error);
    if (info.samplerate < limits.minRate || info.samplerate > limits.maxRate)
        return refuse("sample rate of " + std::to_string(info.samplerate) + " Hz", sound, error);

    // The header's frame count may be wrong either way; read until the decoder stops.
    std::vector<int16_t> samples;
    std::vector<float> chunk(static_cast<size_t>(kChunkFrames) * static_cast<size_t>(info.channels));
    for (;;) {
        const sf_count_t frames = sf_readf_float(opened.handle(), chunk.data(), kChunkFrames);
        if (frames <= 0) break;
        if (static_cast<int64_t>(samples.size()) + frames > limits.maxFrames)
            return refuse("longer than " + std::to_string(limits.maxFrames) + " frames", sound, error);
        for (sf_count_t frame = 0; frame < frames; ++frame) {
            float sum = 0.0f;
            for (int channel = 0; channel < info.channels; ++channel)
                sum += chunk[static_cast<size_t>(frame * info.channels + channel)];
            float mono = sum / static_cast<float>(info.channels);
            if (!(mono == mono)) mono = 0.0f;  // a NaN in a float file is silence
            mono = std::max(-1.0f, std::min(1.0f, mono));
            samples.push_back(static_cast<int16_t>(std::lround(mono * 32767.0f)));
        }
    }
    if (sf_error(opened.handle()) != SF_ERR_NO_ERROR)
        return refuse("damaged: " + oneLine(sf_strerror(opened.handle())), sound, error);
    if (samples.empty()) return refuse("no samples", sound, error);
    sound.sampleRate = info.samplerate;
    sound.samples = std::move(samples);
    error.clear();
    return true;
}

bool readSoundFile(const std::string& path, const SoundLimits& limits, SoundData& sound,
                   std::string& error) {
    namespace fs = std::filesystem;
    std::error_code failure;
    const fs::file_status status = fs::status(path, failure);
    if (!fs::exists(status)) return refuse("missing", sound, error);
    if (!fs::is_regular_file(status)) return refuse("not a regular file", sound, error);
    const uintmax_t bytes = fs::file_size(path, failure);
    if (failure || bytes > kMaxFileBytes) return refuse("too large", sound, error);
    std::ifstream in(path, std::ios::binary);
    if (!in) return refuse(std::string("cannot open: ") + std::strerror(errno), sound, error);
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return refuse("cannot read", sound, error);
    return decodeSound(data.data(), data.size(), limits, sound, error);
}
