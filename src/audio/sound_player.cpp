// sound_player.cpp: the sounds, the sixteen voices and what each frame asks of them.
#include "audio/sound_player.h"

#include <AL/al.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "audio/audio_device.h"
#include "core/sound_file.h"
#include "audio/sound_shaping.h"
#include "core/camera.h"
#include "core/sound_cues.h"
#include "game/level_sounds.h"
#include "game/sound_state.h"
#include "core/data_search.h"

namespace {
constexpr int32_t kSoundCount = static_cast<int32_t>(SoundName::Count);
constexpr float kBurstGain = 0.6f;
constexpr float kRocketGain = 0.45f;

// One row per sound: the file it is read from and the gain it plays at (0: worked out each time
// it plays, from the impact or the engine), in SoundName's order.
struct SoundRow {
    SoundName name;
    const char* stem;
    float gain;
};
constexpr SoundRow kSoundRows[kSoundCount] = {
    {SoundName::Impact, "impact", 0.0f}, {SoundName::Thud, "thud", 0.0f},
    {SoundName::Engine, "engine", 0.0f}, {SoundName::Burst, "burst", kBurstGain},
    {SoundName::Rocket, "rocket", kRocketGain},
};

constexpr bool rowsInOrder() {
    for (int32_t i = 0; i < kSoundCount; ++i)
        if (static_cast<int32_t>(kSoundRows[i].name) != i) return false;
    return true;
}
static_assert(rowsInOrder(), "a sound's row is found by its name's number");

const SoundRow& rowOf(SoundName name) { return kSoundRows[static_cast<size_t>(name)]; }
constexpr const char* kExtensions[] = {".ogg", ".flac", ".wav"};
// Impacts started per frame: a pile landing at once is its few hardest knocks, not a roar.
constexpr size_t kMaxImpactsPerUpdate = 3;
// The playing voices' gains never add up to more than this. The starter sounds peak at half of
// full scale, so even voices peaking together stay below clipping.
constexpr float kMaxTotalGain = 1.5f;
// Beyond this many half view widths from the centre a sound is silent; within 1 it is whole.
constexpr float kReferenceDistance = 1.0f;
constexpr float kMaxDistance = 4.0f;

enum class VoiceUse { Free, OneShot, Engine };

struct Voice {
    ALuint source = 0;
    VoiceUse use = VoiceUse::Free;
    float gain = 0.0f;   // as set on the source, before distance
    int32_t carId = -1;  // engines: whose
};

struct SoundPlayer {
    bool running = false;
    std::array<ALuint, kSoundCount> buffers{};  // 0: the sound is missing or damaged
    std::array<Voice, kMaxVoices> voices{};
    // Reused each update, so that a frame allocates nothing once they have grown.
    std::vector<SoundCue> cues;
    std::vector<EngineState> engines;
    // A level's own sounds, decoded on first play, by their index there; 0: refused.
    std::vector<ALuint> levelBuffers;
    std::vector<bool> levelTried;
    uint32_t levelGeneration = 0;
};
SoundPlayer player;

ALuint bufferOf(SoundName name) { return player.buffers[static_cast<size_t>(name)]; }

// The first of the stem's files present, looked for where the sheets are (a level's own folder,
// then the installed data), or the bare .wav name when none is.
std::string soundFileName(SoundName name) {
    const std::string stem = soundFileStem(name);
    for (const char* extension : kExtensions) {
        const std::string path = findDataFile(stem + extension);
        if (!path.empty() && access(path.c_str(), F_OK) == 0) return path;
    }
    return stem + ".wav";
}

void loadSounds() {
    for (int32_t i = 0; i < kSoundCount; ++i) {
        const std::string file = soundFileName(static_cast<SoundName>(i));
        SoundData sound;
        std::string problem;
        if (!readSoundFile(file, SoundLimits(), sound, problem)) {
            std::cerr << file << " not loaded: " << problem << "; it stays silent" << std::endl;
            continue;
        }
        ALuint buffer = 0;
        alGenBuffers(1, &buffer);
        alBufferData(buffer, AL_FORMAT_MONO16, sound.samples.data(),
                     static_cast<ALsizei>(sound.samples.size() * sizeof(int16_t)), sound.sampleRate);
        if (alGetError() != AL_NO_ERROR) {
            std::cerr << file << " not loaded: the mixer refused it; it stays silent" << std::endl;
            alDeleteBuffers(1, &buffer);
            continue;
        }
        player.buffers[static_cast<size_t>(i)] = buffer;
    }
}

bool startPlayer() {
    alDistanceModel(AL_LINEAR_DISTANCE_CLAMPED);
    for (Voice& voice : player.voices) {
        voice = Voice();
        alGenSources(1, &voice.source);
        alSourcef(voice.source, AL_REFERENCE_DISTANCE, kReferenceDistance);
        alSourcef(voice.source, AL_MAX_DISTANCE, kMaxDistance);
    }
    if (alGetError() != AL_NO_ERROR) {
        stopAudio();
        return false;
    }
    loadSounds();
    clearSoundCues();  // what happened before there was sound is not heard late
    player.running = true;
    return true;
}

bool isPlaying(const Voice& voice) {
    ALint state = AL_STOPPED;
    alGetSourcei(voice.source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

void freeVoice(Voice& voice) {
    alSourceStop(voice.source);
    alSourcei(voice.source, AL_BUFFER, 0);
    voice.use = VoiceUse::Free;
    voice.gain = 0.0f;
    voice.carId = -1;
}

float totalGain() {
    float total = 0.0f;
    for (const Voice& voice : player.voices) total += voice.use == VoiceUse::Free ? 0.0f : voice.gain;
    return total;
}

// A free voice with room for gain in the mix, made by stopping the quietest one-shots quieter
// than gain when needed; nullptr when the sound is not worth the room.
Voice* voiceFor(float gain) {
    for (;;) {
        Voice* free = nullptr;
        Voice* quietest = nullptr;
        for (Voice& voice : player.voices) {
            if (voice.use == VoiceUse::Free && !free) free = &voice;
            if (voice.use == VoiceUse::OneShot && (!quietest || voice.gain < quietest->gain)) quietest = &voice;
        }
        if (free && totalGain() + gain <= kMaxTotalGain) return free;
        if (!quietest || quietest->gain >= gain) return nullptr;
        freeVoice(*quietest);
    }
}

void place(const Voice& voice, float x, float y) {
    const ListenerPosition at = listenerPosition(Vec2f{x, y}, cameraPosition(), viewSize().x);
    alSource3f(voice.source, AL_POSITION, at.x, at.y, at.z);
}

void playOnce(SoundName name, float x, float y, float gain, float pitch) {
    const ALuint buffer = bufferOf(name);
    if (buffer == 0 || !(gain > 0.0f)) return;
    Voice* voice = voiceFor(gain);
    if (!voice) return;
    voice->use = VoiceUse::OneShot;
    voice->gain = gain;
    alSourcei(voice->source, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(voice->source, AL_LOOPING, AL_FALSE);
    alSourcef(voice->source, AL_GAIN, gain);
    alSourcef(voice->source, AL_PITCH, pitch);
    place(*voice, x, y);
    alSourcePlay(voice->source);
}

void dropLevelBuffers() {
    for (ALuint& buffer : player.levelBuffers)
        if (buffer != 0) alDeleteBuffers(1, &buffer);
    player.levelBuffers.clear();
    player.levelTried.clear();
}

// The level sound's buffer, decoded the first time it is played; 0 when it cannot be.
ALuint levelBuffer(int32_t index) {
    if (player.levelGeneration != levelSoundsGeneration()) {
        // Stopped first: a voice may still hold a buffer of the sounds let go.
        for (Voice& voice : player.voices)
            if (voice.use == VoiceUse::OneShot) freeVoice(voice);
        dropLevelBuffers();
        player.levelGeneration = levelSoundsGeneration();
    }
    const std::vector<uint8_t>* bytes = levelSoundBytes(index);
    if (!bytes) return 0;
    const auto at = static_cast<size_t>(index);
    if (player.levelBuffers.size() <= at) {
        player.levelBuffers.resize(at + 1, 0);
        player.levelTried.resize(at + 1, false);
    }
    if (player.levelTried[at]) return player.levelBuffers[at];
    player.levelTried[at] = true;
    SoundData sound;
    std::string problem;
    if (!decodeSound(bytes->data(), bytes->size(), SoundLimits(), sound, problem)) return 0;
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    alBufferData(buffer, AL_FORMAT_MONO16, sound.samples.data(),
                 static_cast<ALsizei>(sound.samples.size() * sizeof(int16_t)), sound.sampleRate);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &buffer);
        buffer = 0;
    }
    player.levelBuffers[at] = buffer;
    return buffer;
}

// A level's named sound: one of its own, or one of the game's at the level's gain.
void playNamed(const SoundCue& cue) {
    ALuint buffer = 0;
    switch (static_cast<OwnSound>(cue.sound)) {
        case OwnSound::Impact: buffer = bufferOf(SoundName::Impact); break;
        case OwnSound::Thud: buffer = bufferOf(SoundName::Thud); break;
        case OwnSound::Burst: buffer = bufferOf(SoundName::Burst); break;
        case OwnSound::Rocket: buffer = bufferOf(SoundName::Rocket); break;
        default: buffer = cue.sound >= 0 ? levelBuffer(cue.sound) : 0; break;
    }
    if (buffer == 0 || !(cue.gain > 0.0f)) return;
    Voice* voice = voiceFor(cue.gain);
    if (!voice) return;
    voice->use = VoiceUse::OneShot;
    voice->gain = cue.gain;
    alSourcei(voice->source, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(voice->source, AL_LOOPING, AL_FALSE);
    alSourcef(voice->source, AL_GAIN, cue.gain);
    alSourcef(voice->source, AL_PITCH, 1.0f);
    const Vec2f centre = cameraPosition();
    place(*voice, cue.placed ? cue.x : centre.x, cue.placed ? cue.y : centre.y);
    alSourcePlay(voice->source);
}

void playCues() {
    takeSoundCues(player.cues);
    if (soundMuted()) return;  // dropped, not saved for later
    std::vector<SoundCue>& cues = player.cues;
    // Bursts and rockets first, then the hardest impacts.
    std::sort(cues.begin(), cues.end(), [](const SoundCue& a, const SoundCue& b) {
        const bool aImpact = a.kind == SoundCueKind::Impact, bImpact = b.kind == SoundCueKind::Impact;
        if (aImpact != bImpact) return bImpact;
        return aImpact && a.impulse > b.impulse;
    });
    size_t impacts = 0;
    for (const SoundCue& cue : cues) {
        switch (cue.kind) {
            case SoundCueKind::Burst: playOnce(SoundName::Burst, cue.x, cue.y, rowOf(SoundName::Burst).gain, 1.0f); break;
            case SoundCueKind::Rocket: playOnce(SoundName::Rocket, cue.x, cue.y, rowOf(SoundName::Rocket).gain, 1.0f); break;
            case SoundCueKind::Named: playNamed(cue); break;
            case SoundCueKind::Impact:
                if (impacts++ == kMaxImpactsPerUpdate) return;
                playOnce(cue.mass >= kThudMass ? SoundName::Thud : SoundName::Impact, cue.x, cue.y,
                         impactGain(cue.impulse), impactPitch(cue.mass));
                break;
        }
    }
}

Voice* engineVoiceOf(int32_t carId) {
    for (Voice& voice : player.voices)
        if (voice.use == VoiceUse::Engine && voice.carId == carId) return &voice;
    return nullptr;
}

void followEngines() {
    std::vector<EngineState>& engines = player.engines;
    carEngines(engines);
    // Cars gone since the last update fall silent.
    for (Voice& voice : player.voices) {
        if (voice.use != VoiceUse::Engine) continue;
        const bool present = std::any_of(engines.begin(), engines.end(),
                                         [&](const EngineState& e) { return e.carId == voice.carId; });
        if (!present) freeVoice(voice);
    }
    const ALuint buffer = bufferOf(SoundName::Engine);
    if (buffer == 0) return;
    for (const EngineState& engine : engines) {
        float gain = engineGain(engine.speed, engine.throttle);
        Voice* voice = engineVoiceOf(engine.carId);
        if (!voice) {
            voice = voiceFor(gain);
            if (!voice) continue;
            voice->use = VoiceUse::Engine;
            voice->carId = engine.carId;
            alSourcei(voice->source, AL_BUFFER, static_cast<ALint>(buffer));
            alSourcei(voice->source, AL_LOOPING, AL_TRUE);
            alSourcePlay(voice->source);
        } else {
            // A speeding engine gets louder only as far as the mix has room.
            gain = std::min(gain, voice->gain + std::max(0.0f, kMaxTotalGain - totalGain()));
        }
        voice->gain = gain;
        alSourcef(voice->source, AL_GAIN, gain);
        alSourcef(voice->source, AL_PITCH, enginePitch(engine.speed));
        place(*voice, engine.x, engine.y);
    }
}
}  // namespace

const char* soundFileStem(SoundName name) {
    const int32_t index = static_cast<int32_t>(name);
    return index >= 0 && index < kSoundCount ? kSoundRows[index].stem : "";
}

bool startAudio() {
    stopAudio();
    if (!openDefaultDevice()) {
        std::cerr << "Sound off: no audio device" << std::endl;
        return false;
    }
    return startPlayer();
}

bool startLoopbackAudio(int32_t sampleRate) {
    stopAudio();
    return openLoopbackDevice(sampleRate) && startPlayer();
}

void renderAudio(float* stereo, int32_t frames) { renderLoopback(stereo, frames); }

void updateAudio() {
    if (!player.running) return;
    alListenerf(AL_GAIN, soundMuted() ? 0.0f : 1.0f);
    // Finished one-shots give their voices back.
    for (Voice& voice : player.voices)
        if (voice.use == VoiceUse::OneShot && !isPlaying(voice)) freeVoice(voice);
    followEngines();
    playCues();
}

void stopAudio() {
    if (audioDeviceOpen()) {
        for (Voice& voice : player.voices) {
            if (voice.source == 0) continue;
            alSourceStop(voice.source);
            alDeleteSources(1, &voice.source);
        }
        for (ALuint& buffer : player.buffers) {
            if (buffer != 0) alDeleteBuffers(1, &buffer);
        }
        dropLevelBuffers();
    }
    closeAudioDevice();
    player = SoundPlayer();
}

bool audioRunning() { return player.running; }

int32_t playingVoices() {
    if (!player.running) return 0;
    return static_cast<int32_t>(
        std::count_if(player.voices.begin(), player.voices.end(), [](const Voice& v) { return isPlaying(v); }));
}
