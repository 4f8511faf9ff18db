// sound_file.h: sound files (WAV, FLAC, Ogg Vorbis and whatever else libsndfile reads) decoded
// to the one form the mixer plays: mono 16-bit samples at the file's own rate.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SoundData {
    int32_t sampleRate = 0;        // Hz
    std::vector<int16_t> samples;  // mono: every channel of the file averaged
};

// What a file may ask for; a file beyond them is refused before its samples are decoded whole.
struct SoundLimits {
    int32_t minRate = 4000;     // Hz
    int32_t maxRate = 192000;   // Hz
    int32_t maxChannels = 8;
    int64_t maxFrames = 1440000;  // 30 s at 48 kHz
};

// Decodes the bytes of a whole sound file. On failure returns false with the reason on one line
// in error and sound empty; on success error is empty.
bool decodeSound(const uint8_t* data, size_t size, const SoundLimits& limits, SoundData& sound,
                 std::string& error);
// Reads and decodes the regular file at path (a named pipe or a folder is refused unopened).
bool readSoundFile(const std::string& path, const SoundLimits& limits, SoundData& sound,
                   std::string& error);
