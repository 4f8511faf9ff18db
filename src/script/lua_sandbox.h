// lua_sandbox.h: a Lua state a level script cannot escape: only the string, table, math and
// utf8 libraries and the safe base functions, text chunks only, a memory cap, an instruction and
// CPU-time budget per call, and traversal, sorting and printing that do not depend on addresses,
// hash seeds or the clock.
#pragma once
#include <lua.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kScriptMemoryLimit = 64u * 1024u * 1024u;
constexpr int64_t kScriptInstructionLimit = 10000000;
constexpr double kScriptCpuSeconds = 0.1;
// Over time a script may spend this many instructions per second of logic time (the shipped
// levels use well under a hundredth of it), saved up for at most a second: a script that stays
// just under the per-call budget would otherwise slow the game, and its replay, for good.
constexpr int64_t kScriptInstructionsPerSecond = 50000000;

// Whether a call is also cut once it has used kScriptCpuSeconds of CPU time. Every peer of a
// shared session, and every replay of one, must stop a script at the same instruction, so there
// only the instruction budget stops it: the CPU time depends on the machine. Process-wide; on
// until switched off.
void setScriptCpuGuard(bool on);
bool scriptCpuGuard();

// Why the last protected call failed.
enum class ScriptFailure { None, Error, TooLong, TooSlow, OutOfMemory };

// Owned by the state (its allocator's user data); lives until closeSandbox.
struct SandboxLimits {
    size_t used = 0;
    size_t limit = kScriptMemoryLimit;
    int64_t instructions = 0;       // counted in the current call
    int64_t instructionLimit = kScriptInstructionLimit;
    // Instructions the script may still spend before it is too slow: a second's worth at
    // first, then creditSandbox adds each logic step's share.
    int64_t allowance = kScriptInstructionsPerSecond;
    double cpuDeadline = 0.0;       // thread CPU seconds at which the current call is cut
    double cpuBudget = kScriptCpuSeconds;
    bool outOfMemory = false;       // the allocator refused once; the script is done
    bool tooSlow = false;           // the allowance ran out; the script is done
    std::string tooLong;            // the line that stopped it: took too long, or too slow
};

// A new sandboxed state whose chunks are named chunkName ("map.lua"); nullptr if even the
// empty state does not fit. Print lines go to standard output.
lua_State* openSandbox(const char* chunkName);
void closeSandbox(lua_State* L);
SandboxLimits& sandboxLimits(lua_State* L);
const char* sandboxChunkName(lua_State* L);

// Loads text (never bytecode) as the main chunk and leaves it on the stack; false with the
// message in failure text.
bool loadSandboxChunk(lua_State* L, const char* text, size_t size, std::string& message);
// Calls the function below nargs arguments with a fresh budget, dropping its results. On
// failure returns why and fills message with one line naming the file and, where known, the
// line.
ScriptFailure callSandboxed(lua_State* L, int nargs, std::string& message);

// Counts work a library call is about to do, in instructions (a fraction counts as a whole
// one); raises "script took too long" or "script too slow" when it would pass a budget.
void chargeSandbox(lua_State* L, double instructions);
// A logic step has passed: the script may spend its share of the allowance again.
void creditSandbox(lua_State* L);
// Stops whatever script runs at its next budget check (with "script interrupted"); safe to call
// from a signal handler.
void interruptSandboxes();

// The text tostring gives value at index: objects as "table #3", numbered in the order this
// state first showed or traversed them. Pushes the string and returns it.
const char* sandboxToString(lua_State* L, int index);
