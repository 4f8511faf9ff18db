// step_commands.h: everything a player does that changes the game reaches it as a step command,
// applied at the start of a numbered logic step. Alone, a command made between two passes is
// applied at the next step; in a shared session the host numbers every player's commands and
// each peer applies them at the same step, so the same commands meet the same state everywhere.
#pragma once
#include <cstdint>

#include "game/step_command.h"

// How the input handlers treat an event.
enum class InputTiming : uint8_t {
    AtOnce,    // acted on inside the callback: recordings made before step commands, and the
               // tests and tools that call the handlers to see their effect at once
    NextStep,  // the view's part at once, the game's part as a command for a coming step
    Replayed,  // the view's part only: the game's part comes from the recording's commands
};
InputTiming inputTiming();
void setInputTiming(InputTiming timing);

// Steps begun since start-up; the first step is 1.
int64_t currentStep();

// Who this program's commands come from: 0 alone or hosting, from 1 when joined. The camera
// follows this player's car and scrolls by this player's keys.
uint8_t localPlayer();
void setLocalPlayer(uint8_t player);

// Where a command made here goes. By default it is scheduled for the next step; a shared session
// sends it to the host, which schedules it for every peer.
using CommandSink = void (*)(const StepCommand& command);
void setCommandSink(CommandSink sink);  // nullptr puts the default back
void submitCommand(StepCommand command);  // stamps localPlayer, then the sink

// Applied at the start of step (at the next step begun when step has already begun), after the
// commands scheduled before it for the same step.
void scheduleCommand(int64_t step, const StepCommand& command);
size_t scheduledCommands();  // not yet applied

// Told at the start of every step, before its commands: a host closes the step's bundle here
// and may still schedule commands for it.
using StepBeginHook = void (*)(int64_t step);
void setStepBeginHook(StepBeginHook hook);
// Told of every command as it is applied: the recorder writes the stream here.
using CommandObserver = void (*)(int64_t step, const StepCommand& command);
void setCommandObserver(CommandObserver observer);

// Begins the next step: numbers it, tells the hook, applies its commands in order.
void beginStepCommands();

// When set, a pass runs as many steps as this answers (at most the loop's catch-up limit)
// instead of the steps the clock owes: a peer runs a step only with its bundle in hand.
using StepPacer = int32_t (*)();
void setStepPacer(StepPacer pacer);
StepPacer stepPacer();

// Crates sprinkled while space is held are paced by the step number; recordings made before
// step commands paced them by the clock and replay so.
bool cratesPacedByClock();
void setCratesPacedByClock(bool byClock);

// Nothing scheduled, step 0, alone, input at once, crates by steps, no hooks: as at start-up.
void resetStepCommands();
