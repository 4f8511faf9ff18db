// The mix itself, rendered through a loopback device with no sound card: when and where the
// game's sounds are heard, how loud, how high, and that a crowd of them stays within bounds.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include "actors/actor.h"
#include "actors/box.h"
#include "actors/car.h"
#include "audio/sound_player.h"
#include "core/camera.h"
#include "core/sound_cues.h"
#include "game/game.h"
#include "game/host.h"
#include "game/main_loop.h"
#include "game/sound_state.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

namespace {
constexpr int32_t kRate = 44100;
constexpr int32_t kFramesPerStep = kRate / 100;  // 10 ms
constexpr float kGroundTop = 740.0f;
constexpr float kRestingY = kGroundTop - 16.0f;  // a crate's centre on the ground
constexpr float kViewCentreY = 600.0f;

void noWindow(int&, char**) { setWindowSize(1024.0f, 600.0f); }

// Left and right samples of one stretch of the mix.
// Full scale is -1..1; silence is exactly 0 (the loopback mix is not dithered).
struct Mix {
    std::vector<float> left, right;
    double energy(bool leftChannel, size_t from, size_t to) const {
        const std::vector<float>& samples = leftChannel ? left : right;
        double sum = 0.0;
        for (size_t i = from; i < std::min(to, samples.size()); ++i) sum += double(samples[i]) * samples[i];
        return sum;
    }
    double energy(size_t from, size_t to) const { return energy(true, from, to) + energy(false, from, to); }
    float peak() const {
        float peak = 0.0f;
        for (const auto* channel : {&left, &right})
            for (float s : *channel) peak = std::max(peak, std::fabs(s));
        return peak;
    }
};

class AudioMix : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kelvoran-audio-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (const char* sound : {"impact.wav", "thud.wav", "engine.wav", "burst.wav", "rocket.wav"})
            fs::copy_file(fs::path(KELVORAN_ASSETS) / sound, dir / sound);
        previous = fs::current_path();
        fs::current_path(dir);
        captureStdout([] {
            int argc = 1;
            char name[] = "audio_tests";
            char* argv[] = {name, nullptr};
            startGame(argc, argv, false, noWindow);
        });
        setCamera(0.0f, kViewCentreY, 0, 0, 1.0f, 1.0f, 0.0f);
        if (!startLoopbackAudio(kRate)) GTEST_SKIP() << "this OpenAL has no loopback device";
    }
    void TearDown() override {
        stopAudio();
        shutdownGame(false);
        fs::current_path(previous);
        fs::remove_all(dir);
    }

    // Renders the next frames of the mix onto mix.
    void listen(int32_t frames) {
        std::vector<float> stereo(2 * static_cast<size_t>(frames));
        renderAudio(stereo.data(), frames);
        for (int32_t i = 0; i < frames; ++i) {
            mix.left.push_back(stereo[2 * static_cast<size_t>(i)]);
            mix.right.push_back(stereo[2 * static_cast<size_t>(i) + 1]);
        }
    }
    // One logic step, then the sound of it: what a frame does, every step.
    void step() {
        updateStep();
        updateAudio();
        listen(kFramesPerStep);
    }
    static Box* dropCrate(float x, float y) {
        Box* box = nullptr;
        captureStdout([&] { box = spawnActor<Box>(x, y); });
        return box;
    }
    // Steps until box lands (its fall stops) and then steps more; the step it landed in, or -1.
    int32_t stepUntilLanded(const Box& box, int32_t after) {
        int32_t landed = -1;
        for (int32_t i = 0; i < 1000 && (landed < 0 || i < landed + after); ++i) {
            const float falling = box.body->GetLinearVelocity().y;
            step();
            if (landed < 0 && falling > 2.0f && box.body->GetLinearVelocity().y < 1.0f) landed = i;
        }
        return landed;
    }
    static size_t at(int32_t step) { return static_cast<size_t>(step) * kFramesPerStep; }

    Mix mix;
    fs::path dir, previous;
};

// The strongest frequency (Hz) between 40 and 600 Hz in the left channel, 1 Hz apart.
double dominantFrequency(const std::vector<float>& samples) {
    double best = 0.0, bestPower = -1.0;
    for (int f = 40; f <= 600; ++f) {
        double re = 0.0, im = 0.0;
        const double w = 2.0 * 3.141592653589793 * f / kRate;
        for (size_t i = 0; i < samples.size(); ++i) {
            re += samples[i] * std::cos(w * static_cast<double>(i));
            im += samples[i] * std::sin(w * static_cast<double>(i));
        }
        if (re * re + im * im > bestPower) bestPower = re * re + im * im, best = f;
    }
    return best;
}
}  // namespace

TEST_F(AudioMix, ACrateIsSilentWhileFallingAndHeardWithin50msOfLanding) {
    const Box* box = dropCrate(0.0f, kRestingY - 300.0f);
    const int32_t landed = stepUntilLanded(*box, 30);
    ASSERT_GT(landed, 5);
    EXPECT_EQ(mix.energy(0, at(landed)), 0.0) << "sound before the landing";
    // 5 steps: 50 ms. A twentieth of full scale (RMS) over them is clearly heard.
    const double heard = mix.energy(at(landed), at(landed + 5)) / (2.0 * at(5));
    EXPECT_GT(heard, 0.05 * 0.05);
}

TEST_F(AudioMix, AHarderLandingIsLouder) {
    double quieter = 0.0;
    for (const float drop : {30.0f, 120.0f, 480.0f}) {
        clearActors();
        mix = Mix();
        const Box* box = dropCrate(0.0f, kRestingY - drop);
        const int32_t landed = stepUntilLanded(*box, 30);
        ASSERT_GE(landed, 0);
        const double loudness = mix.energy(at(landed), at(landed + 30));
        EXPECT_GT(loudness, 1.5 * quieter) << "drop of " << drop << " units";
        quieter = loudness;
        for (int i = 0; i < 50; ++i) step();  // the last one dies away
    }
}

TEST_F(AudioMix, ALandingAtOneSideOfTheViewIsLouderOnThatSide) {
    for (const float side : {-1.0f, 1.0f}) {
        clearActors();
        mix = Mix();
        const Box* box = dropCrate(side * 420.0f, kRestingY - 200.0f);
        const int32_t landed = stepUntilLanded(*box, 30);
        ASSERT_GE(landed, 0);
        const double left = mix.energy(true, at(landed), at(landed + 30));
        const double right = mix.energy(false, at(landed), at(landed + 30));
        ASSERT_GT(left + right, 0.0);
        EXPECT_GT(side < 0 ? left : right, 2.0 * (side < 0 ? right : left)) << "side " << side;
        for (int i = 0; i < 50; ++i) step();
    }
}

TEST_F(AudioMix, MutedEverythingIsSilentAndUnmutedItIsHeardAgain) {
    toggleSoundMuted();
    const Box* box = dropCrate(0.0f, kRestingY - 200.0f);
    captureStdout([] { spawnActor<Car>(100.0f, 600.0f); });
    cueSound(SoundCue{SoundCueKind::Burst, 0.0f, 600.0f});
    cueSound(SoundCue{SoundCueKind::Rocket, 0.0f, 600.0f});
    int32_t landed = -1;
    captureStdout([&] { landed = stepUntilLanded(*box, 30); });  // the car prints every step
    ASSERT_GE(landed, 0);
    EXPECT_EQ(mix.peak(), 0.0f);
    toggleSoundMuted();
    captureStdout([this] { for (int i = 0; i < 10; ++i) step(); });
    EXPECT_GT(mix.energy(at(static_cast<int32_t>(mix.left.size() / kFramesPerStep) - 5), mix.left.size()), 0.0)
        << "the car's engine is heard again";
}

TEST_F(AudioMix, TheEnginesPitchRisesWithTheCarsSpeedAndStopsWhenTheCarGoes) {
    Car* car = nullptr;
    captureStdout([&] { car = spawnActor<Car>(0.0f, kViewCentreY); });
    double lower = 0.0;
    for (const float speed : {0.0f, 8.0f, 16.0f, 24.0f}) {
        car->body->SetLinearVelocity(b2Vec2(speed, 0.0f));
        updateAudio();
        listen(kRate / 20);  // the change settles
        mix = Mix();
        listen(kRate / 4);
        const double frequency = dominantFrequency(mix.left);
        if (speed == 0.0f) {
            EXPECT_NEAR(frequency, 110.0 * 0.7, 3.0) << "the idle engine";
        }
        EXPECT_GT(frequency, lower * 1.1) << "at " << speed << " m/s";
        lower = frequency;
    }
    car->dead = true;
    captureStdout([] { updateActors(); });
    updateAudio();
    EXPECT_EQ(playingVoices(), 0);
    listen(kRate / 20);
    mix = Mix();
    listen(kRate / 10);
    EXPECT_EQ(mix.peak(), 0.0f);
}

TEST_F(AudioMix, TwoHundredCratesLandingNeverTakeMoreThan16VoicesNorClip) {
    captureStdout([] {
        for (int i = 0; i < 200; ++i) spawnActor<Box>(-500.0f + 50.0f * (i % 20), 100.0f + 45.0f * (i / 20));
    });
    int32_t most = 0, landings = 0;
    for (int i = 0; i < 400; ++i) {
        step();
        EXPECT_LE(playingVoices(), kMaxVoices);
        most = std::max(most, playingVoices());
    }
    for (const auto& actor : allActors()) landings += actor->y > kRestingY - 40.0f;
    EXPECT_GT(landings, 20) << "the pile did not land";
    EXPECT_GT(most, 1);
    EXPECT_GT(mix.peak(), 0.1f) << "the landings were not heard";
    EXPECT_LT(mix.peak(), 1.0f) << "the mix clipped";
    std::cout << "200 crates: at most " << most << " voices, peak " << mix.peak() << " of full scale 1\n";
}

TEST_F(AudioMix, AMissingOrDamagedSoundSaysSoOnceAndIsSilent) {
    stopAudio();
    std::ofstream("impact.wav", std::ios::binary) << "RIFF\x10\0\0\0WAVEfmt garbage";
    fs::remove("thud.wav");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(startLoopbackAudio(kRate));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("impact.wav not loaded: ", 0), 0u) << said;
    const size_t second = said.find('\n') + 1;
    EXPECT_EQ(said.substr(second), "thud.wav not loaded: missing; it stays silent\n");
    EXPECT_EQ(said.substr(second - 18, 18), "; it stays silent\n");

    const Box* box = dropCrate(0.0f, kRestingY - 200.0f);
    ASSERT_GE(stepUntilLanded(*box, 30), 0);
    EXPECT_EQ(mix.peak(), 0.0f) << "a crate's knock with no knock to play";
    cueSound(SoundCue{SoundCueKind::Burst, 0.0f, kViewCentreY});
    step();
    EXPECT_GT(mix.peak(), 0.0f) << "the other sounds still play";
}
