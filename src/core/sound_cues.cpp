// sound_cues.cpp: the bounded queue of sound cues.
#include "core/sound_cues.h"

#include <algorithm>

namespace {
struct SoundCueQueue {
    std::vector<SoundCue> cues;  // oldest first; never longer than kMaxSoundCues
};
SoundCueQueue queue;

bool isImpact(const SoundCue& cue) { return cue.kind == SoundCueKind::Impact; }
}  // namespace

void cueSound(const SoundCue& cue) {
    std::vector<SoundCue>& cues = queue.cues;
    if (cues.size() < kMaxSoundCues) {
        cues.push_back(cue);
        return;
    }
    auto weakest = cues.end();
    for (auto it = cues.begin(); it != cues.end(); ++it) {
        if (isImpact(*it) && (weakest == cues.end() || it->impulse < weakest->impulse)) weakest = it;
    }
    if (weakest == cues.end()) return;  // all bursts and rockets: the first ones are kept
    if (isImpact(cue) && cue.impulse <= weakest->impulse) return;
    cues.erase(weakest);  // keeps the order of the rest
    cues.push_back(cue);
}

void takeSoundCues(std::vector<SoundCue>& cues) {
    cues.clear();
    std::swap(cues, queue.cues);
}

void clearSoundCues() { queue.cues.clear(); }
