// impact_listener.cpp: cues an impact for each contact whose first touching step carries a real
// impulse.
#include "physics/impact_listener.h"

#include <algorithm>
#include <vector>

#include <box2d/box2d.h>

#include "core/sound_cues.h"
#include "core/units.h"

namespace {
// Contacts seen starting to touch whose impulse is not yet reported; the solver reports them in
// the same step, so the list stays short. Bounded in case a report never comes.
constexpr size_t kMaxPendingContacts = 64;

class ImpactListener final : public b2ContactListener {
public:
    void PreSolve(b2Contact* contact, const b2Manifold* oldManifold) override {
        if (oldManifold->pointCount != 0) return;  // touching since an earlier step
        if (pending_.size() == kMaxPendingContacts) pending_.erase(pending_.begin());
        pending_.push_back(contact);
    }

    void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override {
        if (pending_.empty()) return;  // the common case: every contact an old one
        const auto found = std::find(pending_.begin(), pending_.end(), contact);
        if (found == pending_.end()) return;
        pending_.erase(found);
        float total = 0.0f;
        for (int32 i = 0; i < impulse->count; ++i) total += impulse->normalImpulses[i];
        const float mass = contact->GetFixtureA()->GetBody()->GetMass() +
                           contact->GetFixtureB()->GetBody()->GetMass();  // static bodies weigh 0
        if (!(mass > 0.0f) || total < kMinImpactSpeedChange * mass) return;
        const b2Vec2 at = contactPoint(*contact);
        cueSound(SoundCue{SoundCueKind::Impact, toUnits(at.x), toUnits(at.y), total, mass});
    }

    void EndContact(b2Contact* contact) override {
        // A contact may be freed before it is reported; its address can come back as another.
        pending_.erase(std::remove(pending_.begin(), pending_.end(), contact), pending_.end());
    }

private:
    // The middle of the contact's points, in metres.
    static b2Vec2 contactPoint(b2Contact& contact) {
        b2WorldManifold manifold;
        contact.GetWorldManifold(&manifold);
        const int32 count = contact.GetManifold()->pointCount;
        b2Vec2 sum(0.0f, 0.0f);
        for (int32 i = 0; i < count; ++i) sum += manifold.points[i];
        return count > 0 ? (1.0f / static_cast<float>(count)) * sum : sum;
    }

    std::vector<b2Contact*> pending_;
};
}  // namespace

b2ContactListener& impactListener() {
    static ImpactListener* const listener = new ImpactListener();  // outlives every world
    return *listener;
}
