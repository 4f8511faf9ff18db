// The actor list: ordering, ids, lifetimes and removal during the update pass.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "actors/actor.h"

namespace {

std::vector<std::string> events;

// Records every pass it sees; can kill itself or spawn a follower from any pass.
class Probe : public Actor {
public:
    explicit Probe(std::string probeName) : name(std::move(probeName)) {}
    ~Probe() override { events.push_back("delete " + name); }
    void update() override {
        ++updates;
        events.push_back("update " + name);
        if (updates == dieOnUpdate) dead = true;
        if (spawnOnUpdate && updates == 1) spawned = spawnActor<Probe>(name + "+");
    }
    void postStep() override {
        ++postSteps;
        if (spawnOnPostStep && postSteps == 1) spawned = spawnActor<Probe>(name + "+");
    }
    void draw() override {
        ++draws;
        if (spawnOnDraw && draws == 1) spawned = spawnActor<Probe>(name + "+");
    }

    std::string name;
    int updates = 0, postSteps = 0, draws = 0;
    int dieOnUpdate = -1;
    bool spawnOnUpdate = false, spawnOnPostStep = false, spawnOnDraw = false;
    Probe* spawned = nullptr;
};

std::vector<Actor*> listed() {
    std::vector<Actor*> pointers;
    for (const auto& actor : allActors()) pointers.push_back(actor.get());
    return pointers;
}

class ActorList : public ::testing::Test {
protected:
    void SetUp() override { events.clear(); }
    void TearDown() override {
        clearActors();
    }
};

TEST_F(ActorList, ConstructionAppendsWithConsecutiveIds) {
    const int32_t first = nextActorId();
    auto* a = spawnActor<Probe>("a");
    auto* b = spawnActor<Probe>("b");
    auto* c = spawnActor<Probe>("c");
    ASSERT_EQ(listed(), (std::vector<Actor*>{a, b, c}));
    EXPECT_EQ(a->id, first);
    EXPECT_EQ(b->id, first + 1);
    EXPECT_EQ(c->id, first + 2);
    EXPECT_EQ(nextActorId(), first + 3);
    EXPECT_EQ(a->self, a);
}

TEST_F(ActorList, AdjacentDeadActorsGoInOnePassAndTheFollowerIsStillUpdated) {
    auto* a = spawnActor<Probe>("a");
    auto* b = spawnActor<Probe>("b");
    auto* c = spawnActor<Probe>("c");
    auto* d = spawnActor<Probe>("d");
    auto* e = spawnActor<Probe>("e");
    b->dead = true;
    c->dead = true;
    e->dead = true;  // the last entry too
    updateActors();
    EXPECT_EQ(listed(), (std::vector<Actor*>{a, d}));
    EXPECT_EQ(events, (std::vector<std::string>{"update a", "delete b", "delete c", "update d",
                                                "delete e"}));
    EXPECT_EQ(d->age, 1);
    EXPECT_EQ(d->updates, 1);
}

TEST_F(ActorList, ActorsCreatedDuringAPassAreVisitedByThatPass) {
    auto* updater = spawnActor<Probe>("u");
    updater->spawnOnUpdate = true;
    updateActors();
    ASSERT_NE(updater->spawned, nullptr);
    EXPECT_EQ(updater->spawned->updates, 1);
    EXPECT_EQ(updater->spawned->age, 1);

    auto* poster = spawnActor<Probe>("p");
    poster->spawnOnPostStep = true;
    postStepActors();
    ASSERT_NE(poster->spawned, nullptr);
    EXPECT_EQ(poster->spawned->postSteps, 1);

    auto* drawer = spawnActor<Probe>("d");
    drawer->spawnOnDraw = true;
    drawActors();
    ASSERT_NE(drawer->spawned, nullptr);
    EXPECT_EQ(drawer->spawned->draws, 1);
    EXPECT_EQ(allActors().back().get(), drawer->spawned);
}

TEST_F(ActorList, LifetimeLMeansLPlusOneUpdatesThenRemovalInTheNextPass) {
    constexpr int32_t kLifetime = 3;
    auto* mortal = spawnActor<Probe>("m");
    mortal->lifetime = kLifetime;
    auto* immortal = spawnActor<Probe>("i");
    for (int pass = 1; pass <= kLifetime; ++pass) {
        updateActors();
        EXPECT_FALSE(mortal->dead) << "pass " << pass;
    }
    updateActors();  // pass L + 1: marked dead and still updated
    EXPECT_TRUE(mortal->dead);
    EXPECT_EQ(mortal->updates, kLifetime + 1);
    EXPECT_EQ(allActors().size(), 2u);
    events.clear();
    updateActors();  // pass L + 2: removed and deleted, not updated again
    EXPECT_EQ(events, (std::vector<std::string>{"delete m", "update i"}));
    EXPECT_EQ(listed(), (std::vector<Actor*>{immortal}));

    for (int pass = 0; pass < 5000; ++pass) updateActors();
    EXPECT_FALSE(immortal->dead);
    EXPECT_EQ(immortal->age, kLifetime + 2 + 5000);
}

TEST_F(ActorList, ActorKilledByItsOwnUpdateIsDrawnUntilTheNextPass) {
    auto* a = spawnActor<Probe>("a");
    a->dieOnUpdate = 1;
    auto* b = spawnActor<Probe>("b");
    updateActors();
    ASSERT_TRUE(a->dead);
    postStepActors();
    drawActors();
    drawActors();
    EXPECT_EQ(a->postSteps, 1);
    EXPECT_EQ(a->draws, 2);
    events.clear();
    updateActors();
    EXPECT_EQ(events, (std::vector<std::string>{"delete a", "update b"}));
    drawActors();
    EXPECT_EQ(b->draws, 3);
    EXPECT_EQ(listed(), (std::vector<Actor*>{b}));
}

}  // namespace
