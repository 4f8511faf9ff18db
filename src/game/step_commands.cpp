// step_commands.cpp: the schedule of step commands and the numbering of steps.
#include "game/step_commands.h"

#include <map>
#include <vector>

#include "actors/car.h"
#include "game/input.h"

namespace {
struct CommandSchedule {
    InputTiming timing = InputTiming::AtOnce;
    int64_t step = 0;
    uint8_t player = 0;
    std::map<int64_t, std::vector<StepCommand>> due;  // by step
    size_t count = 0;
    CommandSink sink = nullptr;
    StepBeginHook beginHook = nullptr;
    CommandObserver observer = nullptr;
    StepPacer pacer = nullptr;
    bool cratesByClock = false;
};
CommandSchedule schedule;
}  // namespace

InputTiming inputTiming() { return schedule.timing; }
void setInputTiming(InputTiming timing) { schedule.timing = timing; }
int64_t currentStep() { return schedule.step; }
uint8_t localPlayer() { return schedule.player; }
void setLocalPlayer(uint8_t player) {
    schedule.player = player;
    setCameraFollowsPlayer(player);  // this program's camera follows this player's car
}
void setCommandSink(CommandSink sink) { schedule.sink = sink; }

void submitCommand(StepCommand command) {
    command.player = schedule.player;
    if (schedule.sink) {
        schedule.sink(command);
    } else {
        scheduleCommand(schedule.step + 1, command);
    }
}

void scheduleCommand(int64_t step, const StepCommand& command) {
    // A step already begun has applied its commands: a late one goes to the next.
    if (step <= schedule.step) step = schedule.step + 1;
    schedule.due[step].push_back(command);
    ++schedule.count;
}

size_t scheduledCommands() { return schedule.count; }
void setStepBeginHook(StepBeginHook hook) { schedule.beginHook = hook; }
void setCommandObserver(CommandObserver observer) { schedule.observer = observer; }

void beginStepCommands() {
    const int64_t step = schedule.step + 1;
    // Before the step counts as begun, so what the hook schedules for it is applied in it.
    if (schedule.beginHook) schedule.beginHook(step);
    schedule.step = step;
    const auto found = schedule.due.find(step);
    if (found == schedule.due.end()) return;
    // Taken out first: applying one may schedule more (never for this step, which has begun).
    const std::vector<StepCommand> commands = std::move(found->second);
    schedule.due.erase(found);
    schedule.count -= commands.size();
    for (const StepCommand& command : commands) {
        if (schedule.observer) schedule.observer(step, command);
        applyStepCommand(command);
    }
}

void setStepPacer(StepPacer pacer) { schedule.pacer = pacer; }
StepPacer stepPacer() { return schedule.pacer; }
bool cratesPacedByClock() { return schedule.cratesByClock; }
void setCratesPacedByClock(bool byClock) { schedule.cratesByClock = byClock; }
void resetStepCommands() {
    schedule = CommandSchedule();
    setCameraFollowsPlayer(0);
}
