// audio_device.cpp: opening, mixing into and closing the OpenAL device.
#include "audio/audio_device.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {
struct AudioDevice {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    LPALCRENDERSAMPLESSOFT render = nullptr;  // set for a loopback device only
};
AudioDevice audio;

// Standard error pointed at /dev/null for its lifetime. The sound libraries print several lines
// there when a machine has no sound card; the game says it in one line of its own instead.
class QuietStandardError {
public:
    QuietStandardError() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
        if (null >= 0) close(null);
    }
    ~QuietStandardError() {
        std::fflush(stderr);
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_ = -1;
};

bool makeContext(const ALCint* attributes) {
    audio.context = alcCreateContext(audio.device, attributes);
    if (audio.context && alcMakeContextCurrent(audio.context)) return true;
    closeAudioDevice();
    return false;
}
}  // namespace

bool openDefaultDevice() {
    closeAudioDevice();
    const QuietStandardError quiet;
    audio.device = alcOpenDevice(nullptr);
    return audio.device && makeContext(nullptr);
}

bool openLoopbackDevice(int32_t sampleRate) {
    closeAudioDevice();
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return false;
    auto openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (!openLoopback || !render) return false;
    audio.device = openLoopback(nullptr);
    if (!audio.device) return false;
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT,
                                 ALC_FORMAT_TYPE_SOFT,     ALC_FLOAT_SOFT,
                                 ALC_FREQUENCY,            sampleRate,
                                 ALC_OUTPUT_LIMITER_SOFT,  ALC_FALSE,
                                 ALC_HRTF_SOFT,            ALC_FALSE,
                                 0};
    if (!makeContext(attributes)) return false;
    audio.render = render;
    return true;
}

void renderLoopback(float* stereo, int32_t frames) {
    if (!audio.render) {
        std::fill(stereo, stereo + 2 * frames, 0.0f);
        return;
    }
    audio.render(audio.device, stereo, frames);
}

bool audioDeviceOpen() { return audio.context != nullptr; }

void closeAudioDevice() {
    if (audio.context) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(audio.context);
    }
    if (audio.device) alcCloseDevice(audio.device);
    audio = AudioDevice();
}
