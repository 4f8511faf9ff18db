// References to actors: they resolve while the actor lives, and never to another actor that
// takes its slot after it.
#include <gtest/gtest.h>

#include "actors/actor.h"

TEST(ActorRef, ResolvesWhileTheActorLivesAndNeverToTheOneTakingItsSlot) {
    Actor* first = spawnActor<Actor>();
    const ActorRef ref = actorRef(*first);
    EXPECT_EQ(resolveActor(ref), first);
    first->dead = true;
    EXPECT_EQ(resolveActor(ref), nullptr);  // dead, though not yet removed
    updateActors();                         // removed: its slot is free
    Actor* next = spawnActor<Actor>();
    EXPECT_EQ(next->slot, ref.slot);        // the freed slot is taken again
    EXPECT_EQ(resolveActor(ref), nullptr);
    const ActorRef nextRef = actorRef(*next);
    EXPECT_EQ(resolveActor(nextRef), next);
    clearActors();
    EXPECT_EQ(resolveActor(nextRef), nullptr) << "cleared with the list";
    EXPECT_EQ(resolveActor(ActorRef{1000000, 0}), nullptr);  // a slot never handed out
}
