// The sound cue queue: what a full queue keeps.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/sound_cues.h"

TEST(SoundCues, AFullQueueKeepsTheStrongestImpactsAndEveryBurstInOrder) {
    clearSoundCues();
    // Impulses 1..100 in a scrambled order, with a burst after every tenth impact.
    int bursts = 0;
    for (int i = 0; i < 100; ++i) {
        const float impulse = static_cast<float>((i * 37) % 100 + 1);
        cueSound(SoundCue{SoundCueKind::Impact, static_cast<float>(i), 0.0f, impulse, 1.0f});
        if (i % 10 == 9) cueSound(SoundCue{SoundCueKind::Burst, static_cast<float>(bursts++), 0.0f});
    }
    std::vector<SoundCue> cues;
    takeSoundCues(cues);
    ASSERT_EQ(cues.size(), kMaxSoundCues);
    std::vector<float> impulses;
    float lastBurst = -1.0f, lastImpactX = -1.0f;
    for (const SoundCue& cue : cues) {
        if (cue.kind == SoundCueKind::Burst) {
            EXPECT_GT(cue.x, lastBurst);  // oldest first
            lastBurst = cue.x;
        } else {
            EXPECT_GT(cue.x, lastImpactX);
            lastImpactX = cue.x;
            impulses.push_back(cue.impulse);
        }
    }
    EXPECT_EQ(lastBurst, 9.0f) << "a burst was dropped for an impact";
    ASSERT_EQ(impulses.size(), kMaxSoundCues - 10);
    EXPECT_EQ(*std::min_element(impulses.begin(), impulses.end()), 100.0f - impulses.size() + 1);

    takeSoundCues(cues);
    EXPECT_TRUE(cues.empty()) << "a take empties the queue";
}
