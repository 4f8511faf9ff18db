// Sound files through libsndfile: what is decoded, and what is refused and why.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/sound_file.h"

namespace fs = std::filesystem;

namespace {
// The bytes of a file libsndfile writes in format from interleaved samples.
std::vector<uint8_t> encode(int format, int rate, int channels, const std::vector<short>& samples) {
    const fs::path path = fs::temp_directory_path() / ("kelvoran-sound-" + std::to_string(getpid()));
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (!file) return {};
    sf_write_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(path);
    return bytes;
}

// A stereo ramp: left rises, right is its negation plus a constant.
std::vector<short> stereoRamp(int frames) {
    std::vector<short> samples;
    for (int i = 0; i < frames; ++i) {
        samples.push_back(static_cast<short>(i * 16));
        samples.push_back(static_cast<short>(-i * 16 + 2000));
    }
    return samples;
}
}  // namespace

TEST(SoundFile, WavAndFlacDecodeToTheSameMonoAverage) {
    const std::vector<short> samples = stereoRamp(1000);
    for (const int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_FLAC | SF_FORMAT_PCM_16}) {
        const std::vector<uint8_t> bytes = encode(format, 22050, 2, samples);
        SoundData sound;
        std::string error = "left over";
        ASSERT_TRUE(decodeSound(bytes.data(), bytes.size(), SoundLimits(), sound, error)) << error;
        EXPECT_EQ(error, "");
        EXPECT_EQ(sound.sampleRate, 22050);
        ASSERT_EQ(sound.samples.size(), 1000u);
        for (size_t i = 0; i < sound.samples.size(); i += 111) EXPECT_NEAR(sound.samples[i], 1000, 1) << i;
    }
}

TEST(SoundFile, RefusalsSayWhyOnOneLineAndLeaveNothing) {
    const std::vector<uint8_t> good = encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2, stereoRamp(1000));
    const std::vector<uint8_t> headerOnly(good.begin(), good.begin() + 44);
    const std::string noise = "RIFF\x24\x01\0\0WAVEfmt \x10\0\0\0 this is not a format block at all";
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        SoundLimits limits;
        const char* reason;  // how the error starts
    };
    SoundLimits shortLimit;
    shortLimit.maxFrames = 999;
    SoundLimits fastOnly;
    fastOnly.minRate = 44100;
    SoundLimits monoOnly;
    monoOnly.maxChannels = 1;
    const Case cases[] = {
        {"empty", {}, SoundLimits(), "not a sound file: "},
        {"noise", std::vector<uint8_t>(noise.begin(), noise.end()), SoundLimits(), "not a sound file: "},
        {"header only", headerOnly, SoundLimits(), "no samples"},
        {"too long", good, shortLimit, "longer than 999 frames"},
        {"too slow", good, fastOnly, "sample rate of 22050 Hz"},
        {"too many channels", good, monoOnly, "2 channels"},
    };
    for (const Case& c : cases) {
        SoundData sound;
        sound.samples.assign(5, 1);
        std::string error;
        EXPECT_FALSE(decodeSound(c.bytes.data(), c.bytes.size(), c.limits, sound, error)) << c.name;
        EXPECT_EQ(error.rfind(c.reason, 0), 0u) << c.name << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << c.name;
        EXPECT_TRUE(sound.samples.empty()) << c.name;
        EXPECT_EQ(sound.sampleRate, 0) << c.name;
    }
}

TEST(SoundFile, AFolderOrANamedPipeIsRefusedWithoutBeingOpened) {
    const fs::path dir = fs::temp_directory_path() / ("kelvoran-sound-dir-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.wav");
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0644), 0);
    for (const char* name : {"folder.wav", "pipe.wav"}) {
        SoundData sound;
        std::string error;
        EXPECT_FALSE(readSoundFile((dir / name).string(), SoundLimits(), sound, error));
        EXPECT_EQ(error, "not a regular file") << name;  // a pipe would have blocked here
    }
    SoundData sound;
    std::string error;
    EXPECT_FALSE(readSoundFile((dir / "none.wav").string(), SoundLimits(), sound, error));
    EXPECT_EQ(error, "missing");
    fs::remove_all(dir);
}
