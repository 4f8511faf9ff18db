// Impacts heard from the physics world: when a contact cues one, and that listening changes
// nothing about the steps.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/sound_cues.h"
#include "physics/impact_listener.h"
#include "physics/physics_world.h"

namespace {
constexpr float kGroundTop = 740.0f;  // world units
constexpr float kCrateHalf = 0.8f;    // metres
constexpr float kCrateMass = 2.56f;   // kg

std::vector<SoundCue> stepAndTake(int steps) {
    std::vector<SoundCue> all, cues;
    for (int i = 0; i < steps; ++i) {
        getWorld()->Step(0.01f, 5, 6);
        takeSoundCues(cues);
        all.insert(all.end(), cues.begin(), cues.end());
    }
    return all;
}
}  // namespace

TEST(ImpactListener, ALandingCuesOneImpactWhereItTouchesAndRestingCuesNone) {
    for (const float drop : {40.0f, 200.0f, 600.0f}) {
        createWorld();
        clearSoundCues();
        createDynamicBox(100.0f, kGroundTop - 16.0f - drop, 0.0f, kCrateHalf, kCrateHalf, 0.9f);
        const std::vector<SoundCue> cues = stepAndTake(300);  // lands, then rests 2 s or more
        ASSERT_EQ(cues.size(), 1u) << "drop " << drop;
        EXPECT_EQ(cues[0].kind, SoundCueKind::Impact);
        EXPECT_NEAR(cues[0].x, 100.0f, 1.0f);
        EXPECT_NEAR(cues[0].y, kGroundTop, 1.0f);
        EXPECT_FLOAT_EQ(cues[0].mass, kCrateMass);
        // The impulse stops the fall: mass times the speed from the drop height (m/s).
        const float speed = std::sqrt(2.0f * 55.0f * drop / 20.0f);
        EXPECT_NEAR(cues[0].impulse, kCrateMass * speed, 0.25f * kCrateMass * speed) << "drop " << drop;
    }
}

TEST(ImpactListener, ACrateSetDownGentlyOrStackedUnderOthersStaysQuiet) {
    createWorld();
    clearSoundCues();
    // Already touching the ground; the second crate sits on the first.
    createDynamicBox(100.0f, kGroundTop - 16.0f, 0.0f, kCrateHalf, kCrateHalf, 0.9f);
    createDynamicBox(100.0f, kGroundTop - 48.0f, 0.0f, kCrateHalf, kCrateHalf, 0.9f);
    EXPECT_TRUE(stepAndTake(300).empty());
    EXPECT_GE(kMinImpactSpeedChange * kCrateMass, 2 * kCrateMass * 55.0f * 0.01f)
        << "the bottom crate's steady load would count as an impact";
}

TEST(ImpactListener, ListeningChangesNoBitOfAFallingPile) {
    // The same pile stepped with and without the listener, compared bit for bit.
    std::vector<float> poses[2];
    for (int listening = 0; listening < 2; ++listening) {
        createWorld();
        if (!listening) getWorld()->SetContactListener(nullptr);
        std::vector<b2Body*> bodies;
        for (int i = 0; i < 60; ++i)
            bodies.push_back(createDynamicBox(static_cast<float>((i * 53) % 300), 300.0f - 40.0f * (i % 12),
                                              static_cast<float>(i * 7), kCrateHalf, kCrateHalf, 0.9f));
        for (int step = 0; step < 400; ++step) getWorld()->Step(0.01f, 5, 6);
        for (const b2Body* body : bodies) {
            poses[listening].insert(poses[listening].end(),
                                    {body->GetPosition().x, body->GetPosition().y, body->GetAngle(),
                                     body->GetLinearVelocity().x, body->GetLinearVelocity().y});
        }
    }
    ASSERT_EQ(poses[0].size(), poses[1].size());
    EXPECT_EQ(std::memcmp(poses[0].data(), poses[1].data(), poses[0].size() * sizeof(float)), 0);
    clearSoundCues();
}

// A second listener (a level script's touches) hears the same contacts, and the impact cues go
// on as before: the world has room for one listener, so both hear it through the same one.
TEST(ImpactListener, ASecondListenerHearsTheTouchesAndTheImpactsStillCome) {
    struct Counting : b2ContactListener {
        void BeginContact(b2Contact*) override { ++begun; }
        int begun = 0;
    } touches;
    listenToContacts(&touches);
    createWorld();
    clearSoundCues();
    createDynamicBox(100.0f, kGroundTop - 216.0f, 0.0f, kCrateHalf, kCrateHalf, 0.9f);
    EXPECT_EQ(stepAndTake(300).size(), 1u);
    EXPECT_EQ(touches.begun, 1);
    listenToContacts(nullptr);
    createWorld();
    createDynamicBox(100.0f, kGroundTop - 216.0f, 0.0f, kCrateHalf, kCrateHalf, 0.9f);
    EXPECT_EQ(stepAndTake(300).size(), 1u);
    EXPECT_EQ(touches.begun, 1) << "heard after it was taken away";
}
