// player_input_test.cpp: player 0's commands are the one keyboard table and mouseWorld a game
// alone has always had, hashing as the window's own events do; another player's held keys and
// cursor are their own and leave nothing in the hash once let go.
#include <gtest/gtest.h>

#include "core/keyboard.h"
#include "game/input.h"
#include "game/state_hash.h"
#include "game/step_command.h"

namespace {
StepCommand key(StepCommand::Kind kind, unsigned char code, uint8_t player) {
    StepCommand command;
    command.kind = kind;
    command.code = code;
    command.player = player;
    return command;
}
}  // namespace

TEST(PlayerInput, PlayerZeroCommandsAreTheWindowsOwnEvents) {
    const uint64_t alone = stateHash();
    onKeyDown('w', 0, 0);
    const uint64_t held = stateHash();
    onKeyUp('w', 0, 0);
    ASSERT_EQ(stateHash(), alone);
    applyStepCommand(key(StepCommand::Kind::KeyDown, 'w', 0));
    EXPECT_EQ(isKeyDown('w'), 1);
    EXPECT_EQ(stateHash(), held);
    applyStepCommand(key(StepCommand::Kind::KeyUp, 'w', 0));
    EXPECT_EQ(stateHash(), alone);
}

TEST(PlayerInput, AnotherPlayersKeysAndCursorAreTheirOwn) {
    const uint64_t alone = stateHash();
    applyStepCommand(key(StepCommand::Kind::KeyDown, 'w', 0));
    applyStepCommand(key(StepCommand::Kind::KeyDown, 'w', 2));
    applyStepCommand(key(StepCommand::Kind::KeyUp, 'w', 2));  // lets go of player 2's only
    EXPECT_EQ(isKeyDown('w'), 1);
    EXPECT_EQ(isPlayerKeyDown(2, 'w'), 0);
    applyStepCommand(key(StepCommand::Kind::KeyDown, ' ', 3));
    EXPECT_EQ(isKeyDown(' '), 0);
    EXPECT_EQ(isPlayerKeyDown(3, ' '), 1);
    applyStepCommand(key(StepCommand::Kind::KeyUp, 'w', 0));
    const uint64_t spacing = stateHash();
    EXPECT_NE(spacing, alone);  // player 3's space is state
    applyStepCommand(key(StepCommand::Kind::KeyUp, ' ', 3));
    EXPECT_EQ(stateHash(), alone);

    StepCommand placed;
    placed.kind = StepCommand::Kind::Pointer;
    placed.state = 1;
    placed.world = {5.0f, 6.0f};
    placed.player = 4;
    applyStepCommand(placed);
    EXPECT_EQ(playerCursor(4).x, 5.0f);
    EXPECT_EQ(mouseWorld().x, 0.0f);
    EXPECT_NE(stateHash(), alone);
}
