// make_sounds.cpp: synthesises the game's five starter sounds and writes them as WAVs.
// Usage: make_sounds <output folder>. 22050 Hz mono 16-bit; the same bytes on every run (the
// noise is a fixed integer generator). Each sound peaks at half of full scale, the headroom the
// mixer counts on to never clip.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {
constexpr int kRate = 22050;  // Hz
constexpr double kTau = 6.283185307179586;
constexpr double kPeak = 0.5;  // of full scale

using Samples = std::vector<double>;

// Uniform in -1..1, the same sequence on every machine.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483647.5 - 1.0;
    }

private:
    uint32_t state_;
};

// One-pole low-pass: cutoff in Hz.
class LowPass {
public:
    explicit LowPass(double cutoff) : k_(1.0 - std::exp(-kTau * cutoff / kRate)) {}
    double next(double in) { return value_ += k_ * (in - value_); }
    void setCutoff(double cutoff) { k_ = 1.0 - std::exp(-kTau * cutoff / kRate); }

private:
    double k_;
    double value_ = 0.0;
};

Samples render(double seconds, const std::function<double(double t)>& wave) {
    Samples out(static_cast<size_t>(seconds * kRate));
    for (size_t i = 0; i < out.size(); ++i) out[i] = wave(static_cast<double>(i) / kRate);
    return out;
}

// A knock of wood on stone: three decaying partials and a click.
Samples impact() {
    Noise noise(7);
    LowPass click(3000.0);
    return render(0.25, [&](double t) {
        const double body = 1.0 * std::sin(kTau * 190.0 * t) * std::exp(-t / 0.045) +
                            0.6 * std::sin(kTau * 430.0 * t) * std::exp(-t / 0.03) +
                            0.35 * std::sin(kTau * 770.0 * t) * std::exp(-t / 0.02);
        return body + 0.8 * click.next(noise.next()) * std::exp(-t / 0.006);
    });
}

// Something heavy landing: a falling low tone and a dull rumble.
Samples thud() {
    Noise noise(11);
    LowPass rumble(250.0);
    double phase = 0.0;
    return render(0.45, [&](double t) {
        phase += kTau * (45.0 + 50.0 * std::exp(-t / 0.08)) / kRate;
        return std::sin(phase) * std::exp(-t / 0.12) + 1.5 * rumble.next(noise.next()) * std::exp(-t / 0.05);
    });
}

// One seamless loop of the engine: 110 Hz and its harmonics, pulsed at 55 Hz; 0.4 s holds a
// whole number of periods of each, so the loop has no seam. The fundamental is the strongest.
Samples engine() {
    return render(0.4, [](double t) {
        const double tone = 1.0 * std::sin(kTau * 110.0 * t) + 0.45 * std::sin(kTau * 220.0 * t + 0.5) +
                            0.3 * std::sin(kTau * 330.0 * t + 1.1) + 0.15 * std::sin(kTau * 440.0 * t + 2.0);
        return tone * (1.0 + 0.2 * std::sin(kTau * 55.0 * t));
    });
}

// A bloom burst: a bang of noise and a low boom under it.
Samples burst() {
    Noise noise(23);
    LowPass body(1800.0);
    return render(0.9, [&](double t) {
        const double attack = std::min(1.0, t / 0.004);
        const double crack = body.next(noise.next()) * attack * std::exp(-t / 0.18);
        const double boom = std::sin(kTau * (55.0 + 30.0 * std::exp(-t / 0.1)) * t) * std::exp(-t / 0.3);
        return 1.6 * crack + 0.7 * boom;
    });
}

// A rocket leaving: a whoosh of noise whose brightness rises, then fades.
Samples rocket() {
    Noise noise(31);
    LowPass high(400.0);
    LowPass low(150.0);
    return render(1.2, [&](double t) {
        high.setCutoff(400.0 + 2600.0 * std::min(1.0, t / 0.5));
        const double n = noise.next();
        const double band = high.next(n) - low.next(n);
        return band * std::min(1.0, t / 0.08) * std::exp(-t / 0.45);
    });
}

// Scales to the peak, with a short fade at each end of a one-shot so it starts and stops clean.
std::vector<short> toPcm(Samples samples, bool fadeEnds) {
    if (fadeEnds) {
        const size_t fade = std::min(samples.size() / 2, static_cast<size_t>(kRate / 200));  // 5 ms
        for (size_t i = 0; i < fade; ++i) samples[samples.size() - 1 - i] *= static_cast<double>(i) / fade;
    }
    double peak = 0.0;
    for (double s : samples) peak = std::max(peak, std::fabs(s));
    std::vector<short> pcm(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        pcm[i] = static_cast<short>(std::lround(samples[i] / peak * kPeak * 32767.0));
    return pcm;
}

bool writeWav(const std::string& path, const std::vector<short>& pcm) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const sf_count_t written = sf_write_short(file, pcm.data(), static_cast<sf_count_t>(pcm.size()));
    return sf_close(file) == 0 && written == static_cast<sf_count_t>(pcm.size());
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    struct Sound {
        const char* fileName;
        Samples samples;
        bool loops;
    };
    const Sound sounds[] = {{"impact.wav", impact(), false}, {"thud.wav", thud(), false},
                            {"engine.wav", engine(), true},  {"burst.wav", burst(), false},
                            {"rocket.wav", rocket(), false}};
    bool ok = true;
    for (const Sound& sound : sounds) {
        if (!writeWav(folder + sound.fileName, toPcm(sound.samples, !sound.loops))) {
            std::fprintf(stderr, "%s: cannot write: %s\n", sound.fileName, sf_strerror(nullptr));
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
