// lua_sandbox.cpp: the sandboxed state: allocator, budget hook, the safe library set and the
// replacements that make a script's behaviour independent of addresses and time.
//
// The Lua library unwinds errors with longjmp, so every C function here keeps no C++ object with
// a destructor alive across a call that can raise.
#include "script/lua_sandbox.h"

#include <time.h>

#include <csignal>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/terminal_text.h"
#include "script/sandbox_library.h"

namespace {
constexpr int kHookEvery = 1000;  // instructions between two budget checks
constexpr const char* kIdsKey = "kelvoran.ids";
// Built-in functions by a number of their own, found by a walk of the libraries in name order,
// so that ordering them never looks at an address.
constexpr const char* kRanksKey = "kelvoran.ranks";
constexpr size_t kMaxChunkName = 63;
// What the allocator charges for the bytes it hands out: copying or filling them is the work a
// single instruction (a concatenation, a string.rep) can hide.
constexpr double kBytesPerInstruction = 64.0;
// A step's share of the allowance, and the most that can be saved up.
constexpr int64_t kStepsPerSecond = 100;
constexpr int64_t kAllowancePerStep = kScriptInstructionsPerSecond / kStepsPerSecond;
constexpr int64_t kMaxAllowance = kScriptInstructionsPerSecond;

volatile std::sig_atomic_t interrupted = 0;  // set by interruptSandboxes

// Objects found by neither birth nor an earlier sight are numbered from here, after any birth.
constexpr int64_t kFirstSightIds = int64_t{1} << 40;
// What one entry of the birth table costs, charged to the script's memory.
constexpr size_t kBirthEntryBytes = 64;

struct SandboxState {
    SandboxLimits limits;
    lua_State* main = nullptr;  // for arming the hook from the allocator
    bool closing = false;       // lua_close runs: nothing of the script may run any more
    char chunkName[kMaxChunkName + 1] = "";
    // Every table and function the state makes, by the order it was made: the allocator sees
    // them born, in the same order on every run, whatever addresses they get.
    std::unordered_map<const void*, int64_t> births;
    int64_t nextBirth = 1;
    const void* lastBorn = nullptr;
    // lua_topointer of a full userdata is its memory, which lies this far into the block the
    // allocator handed out (measured on a userdata made at opening, as handles are made).
    ptrdiff_t userdataOffset = 0;
    int64_t nextObjectId = kFirstSightIds;
};

SandboxState& state(lua_State* L) { return **static_cast<SandboxState**>(lua_getextraspace(L)); }

bool cpuGuard = true;  // see setScriptCpuGuard

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Tables, functions and full userdata (the handles) are numbered as they are born.
bool numberedAtBirth(size_t kind) {
    return kind == LUA_TTABLE || kind == LUA_TFUNCTION || kind == LUA_TUSERDATA;
}

void budgetHook(lua_State* L, lua_Debug* ar);

bool overBudget(const SandboxLimits& limits) {
    return limits.instructions > limits.instructionLimit || limits.allowance < 0;
}

// Counts work; past a budget the hook is armed to run at the very next instruction, so that a
// string of expensive instructions stops at once rather than a thousand instructions later.
void spend(SandboxState& s, double work) {
    constexpr double kMost = 1e15;  // far past any budget, and safe to add in 64 bits
    const auto n = static_cast<int64_t>(std::min(std::ceil(work), kMost));
    s.limits.instructions += n;
    s.limits.allowance -= n;
    if (overBudget(s.limits) && s.main) lua_sethook(s.main, budgetHook, LUA_MASKCOUNT, 1);
}

void* cappedAlloc(void* ud, void* ptr, size_t osize, size_t nsize) {
    SandboxState& s = *static_cast<SandboxState*>(ud);
    SandboxLimits& limits = s.limits;
    const size_t old = ptr ? osize : 0;  // without ptr, osize names the kind of object
    if (nsize == 0) {
        limits.used -= old;
        if (ptr && s.births.erase(ptr) != 0) limits.used -= kBirthEntryBytes;
        std::free(ptr);
        return nullptr;
    }
    if (!ptr && numberedAtBirth(osize)) {
        if (limits.outOfMemory || limits.used + nsize + kBirthEntryBytes > limits.limit) {
            limits.outOfMemory = true;
            return nullptr;
        }
        void* born = std::malloc(nsize);
        if (!born) {
            limits.outOfMemory = true;
            return nullptr;
        }
        try {
            s.births.emplace(born, s.nextBirth++);
        } catch (const std::bad_alloc&) {
            std::free(born);
            limits.outOfMemory = true;
            return nullptr;
        }
        limits.used += nsize + kBirthEntryBytes;
        s.lastBorn = born;
        spend(s, static_cast<double>(nsize) / kBytesPerInstruction);
        return born;
    }
    if (nsize > old && (limits.outOfMemory || limits.used - old + nsize > limits.limit)) {
        limits.outOfMemory = true;
        return nullptr;
    }
    void* grown = std::realloc(ptr, nsize);
    if (!grown) {
        limits.outOfMemory = true;
        return nullptr;
    }
    limits.used = limits.used - old + nsize;
    if (nsize > old) spend(s, static_cast<double>(nsize - old) / kBytesPerInstruction);
    return grown;
}

// Raises the line that stopped the script again: at every later check, so a pcall inside the
// script cannot swallow it.
[[noreturn]] void raiseStopped(lua_State* L) {
    lua_pushstring(L, state(L).limits.tooLong.c_str());
    lua_error(L);
    std::abort();  // lua_error does not return
}

// "map.lua: script too slow": the allowance over logic time ran out.
[[noreturn]] void raiseTooSlow(lua_State* L) {
    SandboxState& s = state(L);
    s.limits.tooSlow = true;
    if (s.limits.tooLong.empty()) s.limits.tooLong = std::string(s.chunkName) + ": script too slow";
    raiseStopped(L);
}

// Raises "map.lua:LINE: script took too long" from the running Lua function, and keeps raising
// it at every later check, so a pcall inside the script cannot swallow it.
[[noreturn]] void raiseTooLong(lua_State* L, lua_Debug* ar, const char* what = "script took too long") {
    SandboxState& s = state(L);
    if (s.limits.tooLong.empty()) {
        char text[160];
        int line = -1;
        if (ar && lua_getinfo(L, "l", ar)) line = ar->currentline;
        // Otherwise the nearest Lua function up the stack: a library call may have been made
        // by another (pcall, gsub), not by the script itself.
        lua_Debug caller;
        for (int level = 1; line < 0 && lua_getstack(L, level, &caller); ++level)
            if (lua_getinfo(L, "l", &caller)) line = caller.currentline;
        if (line > 0) {
            std::snprintf(text, sizeof text, "%s:%d: %s", s.chunkName, line, what);
        } else {
            std::snprintf(text, sizeof text, "%s: %s", s.chunkName, what);
        }
        s.limits.tooLong = text;
    }
    raiseStopped(L);
}

// Raises when a budget is spent; otherwise puts the hook back to its usual interval.
void checkBudget(lua_State* L, lua_Debug* ar) {
    SandboxState& s = state(L);
    const SandboxLimits& limits = s.limits;
    if (!limits.tooLong.empty()) raiseStopped(L);
    if (s.closing) raiseTooLong(L, ar, "script closed");
    if (interrupted) raiseTooLong(L, ar, "script interrupted");
    if (limits.instructions > limits.instructionLimit) raiseTooLong(L, ar);
    if (limits.allowance < 0) raiseTooSlow(L);
}

void budgetHook(lua_State* L, lua_Debug* ar) {
    SandboxState& s = state(L);
    if (lua_gethookcount(L) != kHookEvery) {
        lua_sethook(L, budgetHook, LUA_MASKCOUNT, kHookEvery);
    } else {
        s.limits.instructions += kHookEvery;
        s.limits.allowance -= kHookEvery;
    }
    checkBudget(L, ar);
    if (cpuGuard && cpuSeconds() > s.limits.cpuDeadline) raiseTooLong(L, ar);
}

bool stopping(lua_State* L) {
    const SandboxLimits& limits = state(L).limits;
    return limits.outOfMemory || !limits.tooLong.empty();
}

// setmetatable as the base library has it, except that a finalizer is refused: the library runs
// __gc with the instruction hook off, where no budget could stop it.
int safeSetmetatable(lua_State* L) {
    const int type = lua_type(L, 2);
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_argexpected(L, type == LUA_TNIL || type == LUA_TTABLE, 2, "nil or table");
    if (type == LUA_TTABLE) {
        lua_pushliteral(L, "__gc");
        if (lua_rawget(L, 2) != LUA_TNIL)
            return luaL_error(L, "setmetatable: a metatable with __gc is not allowed in a level script");
        lua_pop(L, 1);
    }
    if (luaL_getmetafield(L, 1, "__metatable") != LUA_TNIL) return luaL_error(L, "cannot change a protected metatable");
    lua_settop(L, 2);
    lua_setmetatable(L, 1);
    return 1;
}

// pcall and xpcall as the base library has them, except that running out of time or memory
// passes through: the script stops whatever it catches.
int safePcall(lua_State* L) {
    luaL_checkany(L, 1);
    const int status = lua_pcall(L, lua_gettop(L) - 1, LUA_MULTRET, 0);
    if (status != LUA_OK) {
        if (stopping(L)) return lua_error(L);
        lua_pushboolean(L, 0);
        lua_insert(L, -2);
        return 2;
    }
    lua_pushboolean(L, 1);
    lua_insert(L, 1);
    return lua_gettop(L);
}

int safeXpcall(lua_State* L) {
    const int n = lua_gettop(L);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_pushvalue(L, 1);
    lua_pushvalue(L, 2);
    lua_replace(L, 1);  // the handler first
    lua_replace(L, 2);  // then the function
    const int status = lua_pcall(L, n - 2, LUA_MULTRET, 1);
    if (status != LUA_OK) {
        if (stopping(L)) return lua_error(L);
        lua_pushboolean(L, 0);
        lua_insert(L, -2);
        return 2;
    }
    lua_pushboolean(L, 1);
    lua_replace(L, 1);
    return lua_gettop(L);
}

// Compiling costs more than copying: what load charges for each byte of text.
constexpr double kBytesCompiledPerInstruction = 8.0;

// Stands between load and a script's reader function, charging for each piece it returns (a
// reader could hand back the same long string forever).
int chargedReader(lua_State* L) {
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_call(L, 0, 1);
    size_t length = 0;
    if (lua_type(L, -1) == LUA_TSTRING) lua_tolstring(L, -1, &length);
    chargeSandbox(L, 1.0 + static_cast<double>(length) / kBytesCompiledPerInstruction);
    return 1;
}

// load, always in text mode: a precompiled chunk could break the VM's own checks.
int textOnlyLoad(lua_State* L) {
    luaL_checkany(L, 1);
    if (lua_type(L, 1) == LUA_TFUNCTION) {
        lua_pushvalue(L, 1);
        lua_pushcclosure(L, chargedReader, 1);
        lua_replace(L, 1);
    } else {
        size_t length = 0;
        luaL_checklstring(L, 1, &length);
        chargeSandbox(L, static_cast<double>(length) / kBytesCompiledPerInstruction);
    }
    const int n = lua_gettop(L);
    if (n < 3) lua_settop(L, 3);
    lua_pushliteral(L, "t");
    lua_replace(L, 3);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

// --- Object numbers: tables, functions and handles numbered in order of first sight. ---

// The number the object at index was born as; 0 for one not born in this state's allocator (a
// built-in function).
int64_t birthOf(lua_State* L, int index) {
    const SandboxState& s = state(L);
    const char* at = static_cast<const char*>(lua_topointer(L, index));
    if (lua_type(L, index) == LUA_TUSERDATA) at -= s.userdataOffset;
    const auto born = s.births.find(at);
    return born != s.births.end() ? born->second : 0;
}

int64_t objectId(lua_State* L, int index) {
    index = lua_absindex(L, index);
    if (const int64_t born = birthOf(L, index)) return born;
    lua_getfield(L, LUA_REGISTRYINDEX, kIdsKey);
    lua_pushvalue(L, index);
    lua_rawget(L, -2);
    int64_t id = lua_tointeger(L, -1);
    lua_pop(L, 1);
    if (id == 0) {
        id = state(L).nextObjectId++;
        lua_pushvalue(L, index);
        lua_pushinteger(L, id);
        lua_rawset(L, -3);
    }
    lua_pop(L, 1);
    return id;
}

bool isObject(int type) {
    return type == LUA_TTABLE || type == LUA_TFUNCTION || type == LUA_TUSERDATA ||
           type == LUA_TTHREAD;
}

// --- Traversal in an order of the keys themselves: numbers, then strings, then booleans, then
// tables and functions by number, then handles by number. ---

struct KeyOrder {
    int rank = 0;
    bool integer = false;
    lua_Integer i = 0;
    long double n = 0;
    const char* s = nullptr;
    size_t length = 0;
    int64_t id = 0;
    lua_Integer slot = 0;  // where the key sits in the snapshot
};

// Reads the key at the top without raising or allocating (objects must have been numbered in
// the table of numbers at ids).
KeyOrder keyOrder(lua_State* L, int ids) {
    const int index = lua_gettop(L);
    KeyOrder k;
    const int type = lua_type(L, index);
    if (type == LUA_TNUMBER) {
        k.rank = 0;
        k.integer = lua_isinteger(L, index);
        k.i = lua_tointeger(L, index);
        k.n = k.integer ? static_cast<long double>(k.i) : static_cast<long double>(lua_tonumber(L, index));
    } else if (type == LUA_TSTRING) {
        k.rank = 1;
        k.s = lua_tolstring(L, index, &k.length);
    } else if (type == LUA_TBOOLEAN) {
        k.rank = 2;
        k.i = lua_toboolean(L, index);
    } else {
        k.rank = type == LUA_TUSERDATA ? 4 : 3;
        k.id = birthOf(L, index);
        if (k.id == 0) {
            lua_pushvalue(L, index);
            lua_rawget(L, ids);
            k.id = lua_tointeger(L, -1);
            lua_pop(L, 1);
        }
    }
    return k;
}

bool before(const KeyOrder& a, const KeyOrder& b) {
    if (a.rank != b.rank) return a.rank < b.rank;
    switch (a.rank) {
        case 0:
            if (a.integer && b.integer) return a.i < b.i;
            return a.n < b.n;
        case 1: {
            const int c = std::memcmp(a.s, b.s, std::min(a.length, b.length));
            return c != 0 ? c < 0 : a.length < b.length;
        }
        case 2: return a.i < b.i;
        default: return a.id < b.id;
    }
}

bool numbered(lua_State* L, int index, int ids) {
    if (birthOf(L, index) != 0) return true;
    lua_pushvalue(L, index);
    const bool known = lua_rawget(L, ids) != LUA_TNIL;
    lua_pop(L, 1);
    return known;
}

// The rank a built-in function got in the walk of the libraries; 0 for one it did not meet.
lua_Integer builtinRank(lua_State* L, int index, int ranks) {
    lua_pushvalue(L, index);
    lua_rawget(L, ranks);
    const lua_Integer rank = lua_tointeger(L, -1);
    lua_pop(L, 1);
    return rank;
}

// Numbers every object key of the table at index (may raise: nothing of ours is alive). Tables,
// functions and handles were numbered as they were born; what is left are built-in functions,
// which the raw traversal meets in an order of their addresses, so they are numbered in the
// order of their ranks instead.
void numberObjectKeys(lua_State* L, int index) {
    index = lua_absindex(L, index);
    lua_getfield(L, LUA_REGISTRYINDEX, kIdsKey);
    const int ids = lua_gettop(L);
    int fresh = 0;
    lua_pushnil(L);
    while (lua_next(L, index)) {
        lua_pop(L, 1);
        if (isObject(lua_type(L, -1)) && !numbered(L, -1, ids)) ++fresh;
    }
    if (fresh == 0) {
        lua_pop(L, 1);
        return;
    }
    lua_getfield(L, LUA_REGISTRYINDEX, kRanksKey);
    const int ranks = lua_gettop(L);
    lua_createtable(L, 2 * fresh, 0);
    const int keys = lua_gettop(L);
    int slot = 0;
    lua_pushnil(L);
    while (lua_next(L, index) && slot < fresh) {
        lua_pop(L, 1);
        if (!isObject(lua_type(L, -1)) || numbered(L, -1, ids)) continue;
        lua_pushvalue(L, -1);
        lua_rawseti(L, keys, ++slot);  // into the array part made above: no allocation
    }
    lua_settop(L, keys);
    {
        std::vector<std::pair<lua_Integer, int>> order;  // rank, slot
        order.reserve(static_cast<size_t>(slot));
        for (int i = 1; i <= slot; ++i) {
            lua_rawgeti(L, keys, i);
            order.emplace_back(builtinRank(L, -1, ranks), i);
            lua_pop(L, 1);
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t i = 0; i < order.size(); ++i) {
            lua_rawgeti(L, keys, order[i].second);
            lua_rawseti(L, keys, slot + 1 + static_cast<int>(i));
        }
    }
    for (int i = 1; i <= slot; ++i) {
        lua_rawgeti(L, keys, slot + i);
        objectId(L, -1);
        lua_pop(L, 1);
    }
    lua_settop(L, ids - 1);
}

// Pushes an array of the table's keys in order.
void pushSortedKeys(lua_State* L, int index) {
    index = lua_absindex(L, index);
    numberObjectKeys(L, index);
    int count = 0;
    lua_pushnil(L);
    while (lua_next(L, index)) {
        lua_pop(L, 1);
        ++count;
    }
    chargeSandbox(L, static_cast<double>(count) * (2.0 + std::log2(1.0 + count)));
    lua_getfield(L, LUA_REGISTRYINDEX, kIdsKey);
    const int ids = lua_gettop(L);
    // Twice the room: the sorted copy goes into the second half without allocating.
    lua_createtable(L, 2 * count, 0);
    const int keys = lua_gettop(L);
    lua_Integer slot = 0;
    lua_pushnil(L);
    while (lua_next(L, index)) {
        lua_pop(L, 1);
        lua_pushvalue(L, -1);
        lua_rawseti(L, keys, ++slot);  // into the array part made above: no allocation
    }
    {
        std::vector<KeyOrder> order;
        order.reserve(static_cast<size_t>(count));
        for (lua_Integer i = 1; i <= slot; ++i) {
            lua_rawgeti(L, keys, i);
            order.push_back(keyOrder(L, ids));
            order.back().slot = i;
            lua_pop(L, 1);
        }
        std::sort(order.begin(), order.end(), before);
        for (size_t i = 0; i < order.size(); ++i) {
            lua_rawgeti(L, keys, order[i].slot);
            lua_rawseti(L, keys, static_cast<lua_Integer>(count) + 1 + static_cast<lua_Integer>(i));
        }
    }
    for (lua_Integer i = 1; i <= count; ++i) {
        lua_rawgeti(L, keys, count + i);
        lua_rawseti(L, keys, i);
        lua_pushnil(L);
        lua_rawseti(L, keys, count + i);
    }
    lua_remove(L, ids);
}

// next(t, k): the key after k in key order (the first for nil), with its value.
int orderedNext(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_settop(L, 2);
    // Each call looks at every key: a loop of next over a big table is quadratic.
    int64_t count = 0;
    lua_pushnil(L);
    while (lua_next(L, 1)) {
        lua_pop(L, 1);
        ++count;
    }
    chargeSandbox(L, static_cast<double>(count));
    numberObjectKeys(L, 1);
    lua_getfield(L, LUA_REGISTRYINDEX, kIdsKey);
    const int ids = 3;
    bool haveAfter = !lua_isnil(L, 2);
    KeyOrder after;
    if (haveAfter) {
        lua_pushvalue(L, 2);
        after = keyOrder(L, ids);
        lua_pop(L, 1);
        if (after.rank == 1) {
            // The string stays alive at index 2 while its bytes are compared.
        }
    }
    bool found = false;
    KeyOrder best;
    lua_pushnil(L);  // best key at 4
    lua_pushnil(L);  // traversal key at 5
    while (lua_next(L, 1)) {
        lua_pop(L, 1);
        const KeyOrder k = keyOrder(L, ids);
        if ((!haveAfter || before(after, k)) && (!found || before(k, best))) {
            found = true;
            best = k;
            lua_pushvalue(L, -1);
            lua_replace(L, 4);  // keeps a best string alive while it is compared
        }
    }
    if (!found) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushvalue(L, 4);
    lua_pushvalue(L, 4);
    lua_rawget(L, 1);
    return 2;
}

// The iterator pairs returns: walks a sorted snapshot of the keys, skipping those set to nil
// since. Upvalues: the snapshot and the next position in it.
int snapshotStep(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);  // the iterator may be called by hand with anything
    lua_Integer position = lua_tointeger(L, lua_upvalueindex(2));
    for (;;) {
        if (lua_rawgeti(L, lua_upvalueindex(1), position) == LUA_TNIL) return 1;
        lua_pushinteger(L, ++position);
        lua_replace(L, lua_upvalueindex(2));
        lua_pushvalue(L, -1);
        if (lua_rawget(L, 1) != LUA_TNIL) return 2;
        lua_pop(L, 2);
    }
}

int orderedPairs(lua_State* L) {
    luaL_checkany(L, 1);
    if (luaL_getmetafield(L, 1, "__pairs") != LUA_TNIL) {
        lua_pushvalue(L, 1);
        lua_call(L, 1, 3);
        return 3;
    }
    luaL_checktype(L, 1, LUA_TTABLE);
    pushSortedKeys(L, 1);
    lua_pushinteger(L, 1);
    lua_pushcclosure(L, snapshotStep, 2);
    lua_pushvalue(L, 1);
    lua_pushnil(L);
    return 3;
}

// --- Printing without addresses. ---

int tostringFunction(lua_State* L) {
    luaL_checkany(L, 1);
    sandboxToString(L, 1);
    return 1;
}

// Writes one line, values separated by tabs, with every control byte inside a value escaped: a
// script's text cannot retitle the terminal or fake a line of the game's own.
int printFunction(lua_State* L) {
    const int n = lua_gettop(L);
    double length = 0.0;
    for (int i = 1; i <= n; ++i) {
        sandboxToString(L, i);
        lua_replace(L, i);
        length += static_cast<double>(lua_rawlen(L, i)) + 1.0;
    }
    chargeSandbox(L, length / kBytesPerInstruction);
    // Nothing below raises.
    for (int i = 1; i <= n; ++i) {
        size_t size = 0;
        const char* text = lua_tolstring(L, i, &size);
        if (i > 1) std::cout << '\t';
        std::cout << escapeForTerminal(std::string(text, size));
    }
    std::cout << '\n';
    std::cout.flush();
    return 0;
}

// string.format without %p, and with %s of an object shown as tostring shows it.
int safeFormat(lua_State* L) {
    size_t length = 0;
    const char* format = luaL_checklstring(L, 1, &length);
    int argument = 1;
    for (size_t i = 0; i < length; ++i) {
        if (format[i] != '%') continue;
        if (++i < length && format[i] == '%') continue;
        while (i < length && std::strchr("-+ #0123456789.", format[i])) ++i;
        if (i >= length) break;
        ++argument;
        if (format[i] == 'p') return luaL_error(L, "string.format: %%p shows an address; not available here");
        if (format[i] == 's' && argument <= lua_gettop(L) && isObject(lua_type(L, argument))) {
            sandboxToString(L, argument);
            lua_replace(L, argument);
        }
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

// --- table.sort: a stable merge sort, so equal elements and lying comparators give the same
// order on every run, and a comparator that errors stops it cleanly. ---

bool sortLess(lua_State* L, int comparator) {
    // The two values are on top: a then b. Comparing two long strings reads both.
    double cost = 1.0;
    if (lua_type(L, -1) == LUA_TSTRING && lua_type(L, -2) == LUA_TSTRING)
        cost += static_cast<double>(lua_rawlen(L, -1) + lua_rawlen(L, -2)) / (2.0 * kBytesPerInstruction);
    chargeSandbox(L, cost);
    if (comparator) {
        lua_pushvalue(L, comparator);
        lua_insert(L, -3);
        lua_call(L, 2, 1);
        const bool less = lua_toboolean(L, -1);
        lua_pop(L, 1);
        return less;
    }
    const bool less = lua_compare(L, -2, -1, LUA_OPLT);
    lua_pop(L, 2);
    return less;
}

int stableSort(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    const lua_Integer n = luaL_len(L, 1);
    luaL_argcheck(L, n < INT32_MAX, 1, "array too big");
    int comparator = 0;
    if (!lua_isnoneornil(L, 2)) {
        luaL_checktype(L, 2, LUA_TFUNCTION);
        comparator = 2;
    }
    lua_settop(L, 2);
    chargeSandbox(L, 3.0 * static_cast<double>(std::max<lua_Integer>(n, 0)));  // the copies
    lua_createtable(L, static_cast<int>(n), 0);  // 3: the copy merged into
    for (lua_Integer i = 1; i <= n; ++i) {
        lua_geti(L, 1, i);
        lua_rawseti(L, 3, i);
    }
    lua_createtable(L, static_cast<int>(n), 0);  // 4: the other buffer
    int from = 3, to = 4;
    for (lua_Integer width = 1; width < n; width *= 2) {
        for (lua_Integer lo = 1; lo <= n; lo += 2 * width) {
            const lua_Integer mid = std::min(lo + width, n + 1), hi = std::min(lo + 2 * width, n + 1);
            lua_Integer a = lo, b = mid, out = lo;
            while (a < mid && b < hi) {
                lua_rawgeti(L, from, b);
                lua_rawgeti(L, from, a);
                const bool takeRight = sortLess(L, comparator);  // b < a
                lua_rawgeti(L, from, takeRight ? b++ : a++);
                lua_rawseti(L, to, out++);
            }
            while (a < mid) {
                lua_rawgeti(L, from, a++);
                lua_rawseti(L, to, out++);
            }
            while (b < hi) {
                lua_rawgeti(L, from, b++);
                lua_rawseti(L, to, out++);
            }
        }
        std::swap(from, to);
    }
    for (lua_Integer i = 1; i <= n; ++i) {
        lua_rawgeti(L, from, i);
        lua_seti(L, 1, i);
    }
    return 0;
}

void setField(lua_State* L, const char* library, const char* name, lua_CFunction function) {
    lua_getglobal(L, library);
    if (function) {
        lua_pushcfunction(L, function);
    } else {
        lua_pushnil(L);
    }
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

int openLibraries(lua_State* L) {
    SandboxState& s = state(L);
    lua_newuserdatauv(L, 1, 0);
    s.userdataOffset = static_cast<const char*>(lua_topointer(L, -1)) - static_cast<const char*>(s.lastBorn);
    lua_pop(L, 1);
    luaL_requiref(L, LUA_GNAME, luaopen_base, 1);
    luaL_requiref(L, LUA_STRLIBNAME, luaopen_string, 1);
    luaL_requiref(L, LUA_TABLIBNAME, luaopen_table, 1);
    luaL_requiref(L, LUA_MATHLIBNAME, luaopen_math, 1);
    luaL_requiref(L, LUA_UTF8LIBNAME, luaopen_utf8, 1);
    lua_settop(L, 0);

    lua_newtable(L);  // object numbers, forgotten with their objects
    lua_newtable(L);
    lua_pushliteral(L, "k");
    lua_setfield(L, -2, "__mode");
    lua_setmetatable(L, -2);
    lua_setfield(L, LUA_REGISTRYINDEX, kIdsKey);

    for (const char* name : {"dofile", "loadfile", "require", "warn", "collectgarbage"}) {
        lua_pushnil(L);
        lua_setglobal(L, name);
    }
    lua_register(L, "pcall", safePcall);
    lua_register(L, "xpcall", safeXpcall);
    lua_register(L, "next", orderedNext);
    lua_register(L, "pairs", orderedPairs);
    lua_register(L, "tostring", tostringFunction);
    lua_register(L, "print", printFunction);
    lua_register(L, "setmetatable", safeSetmetatable);
    lua_getglobal(L, "load");
    lua_pushcclosure(L, textOnlyLoad, 1);
    lua_setglobal(L, "load");
    setField(L, LUA_STRLIBNAME, "dump", nullptr);
    setField(L, LUA_TABLIBNAME, "sort", stableSort);
    setField(L, LUA_MATHLIBNAME, "randomseed", nullptr);
    lua_getglobal(L, LUA_STRLIBNAME);
    lua_getfield(L, -1, "format");
    lua_pushcclosure(L, safeFormat, 1);
    lua_setfield(L, -2, "format");
    lua_pop(L, 1);
    boundLibraryCalls(L);
    return 0;
}

// --- The walk that ranks built-in functions. ---

// Pushes an array of the string keys of the table at index, in byte order.
void pushSortedStringKeys(lua_State* L, int index) {
    index = lua_absindex(L, index);
    int count = 0;
    lua_pushnil(L);
    while (lua_next(L, index)) {
        lua_pop(L, 1);
        if (lua_type(L, -1) == LUA_TSTRING) ++count;
    }
    lua_createtable(L, 2 * count, 0);
    const int keys = lua_gettop(L);
    int slot = 0;
    lua_pushnil(L);
    while (lua_next(L, index)) {
        lua_pop(L, 1);
        if (lua_type(L, -1) != LUA_TSTRING || slot == count) continue;
        lua_pushvalue(L, -1);
        lua_rawseti(L, keys, ++slot);  // into the array part made above: no allocation
    }
    {
        std::vector<std::pair<std::string_view, int>> order;
        order.reserve(static_cast<size_t>(slot));
        for (int i = 1; i <= slot; ++i) {
            lua_rawgeti(L, keys, i);
            size_t length = 0;
            const char* text = lua_tolstring(L, -1, &length);  // kept alive by the array
            order.emplace_back(std::string_view(text, length), i);
            lua_pop(L, 1);
        }
        std::sort(order.begin(), order.end());
        for (size_t i = 0; i < order.size(); ++i) {
            lua_rawgeti(L, keys, order[i].second);
            lua_rawseti(L, keys, slot + 1 + static_cast<int>(i));
        }
    }
    for (int i = 1; i <= slot; ++i) {
        lua_rawgeti(L, keys, slot + i);
        lua_rawseti(L, keys, i);
        lua_pushnil(L);
        lua_rawseti(L, keys, slot + i);
    }
}

bool isBuiltin(lua_State* L, int index) {
    return lua_iscfunction(L, index) && birthOf(L, index) == 0;
}

void rankValue(lua_State* L, int value, int ranks, lua_Integer& next) {
    value = lua_absindex(L, value);  // the pushes below would move a relative index
    if (!isBuiltin(L, value)) return;
    lua_pushvalue(L, value);
    if (lua_rawget(L, ranks) == LUA_TNIL) {
        lua_pushvalue(L, value);
        lua_pushinteger(L, ++next);
        lua_rawset(L, ranks);
    }
    lua_pop(L, 1);
}

// Ranks the built-in functions among the string-keyed fields of the table at index, in name
// order, then those of its tables down to depth more levels.
void rankTable(lua_State* L, int index, int depth, int ranks, int seen, lua_Integer& next) {
    index = lua_absindex(L, index);
    lua_pushvalue(L, index);
    if (lua_rawget(L, seen) != LUA_TNIL) {
        lua_pop(L, 1);
        return;
    }
    lua_pop(L, 1);
    lua_pushvalue(L, index);
    lua_pushboolean(L, 1);
    lua_rawset(L, seen);
    pushSortedStringKeys(L, index);
    const int keys = lua_gettop(L);
    for (int i = 1; lua_rawgeti(L, keys, i) != LUA_TNIL; ++i) {
        lua_rawget(L, index);
        rankValue(L, -1, ranks, next);
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    for (int i = 1; depth > 0 && lua_rawgeti(L, keys, i) != LUA_TNIL; ++i) {
        if (lua_rawget(L, index) == LUA_TTABLE) rankTable(L, -1, depth - 1, ranks, seen, next);
        lua_pop(L, 1);
    }
    lua_pop(L, 2);
}

// Every built-in function reachable from the registry (the libraries, the game table, the
// handle methods), and the iterators ipairs and utf8.codes return.
int rankBuiltins(lua_State* L) {
    lua_newtable(L);
    const int ranks = lua_gettop(L);
    lua_newtable(L);
    const int seen = lua_gettop(L);
    lua_Integer next = 0;
    rankTable(L, LUA_REGISTRYINDEX, 4, ranks, seen, next);
    lua_getglobal(L, "ipairs");
    if (lua_isfunction(L, -1)) {
        lua_newtable(L);
        lua_call(L, 1, 1);
        rankValue(L, -1, ranks, next);
    }
    lua_settop(L, seen);
    lua_getglobal(L, LUA_UTF8LIBNAME);
    for (int lax = 0; lax < 2 && lua_istable(L, -1); ++lax) {
        lua_getfield(L, -1, "codes");
        if (!lua_isfunction(L, -1)) break;
        lua_pushliteral(L, "");
        lua_pushboolean(L, lax);
        lua_call(L, 2, 1);
        rankValue(L, -1, ranks, next);
        lua_pop(L, 1);
    }
    lua_settop(L, seen);
    lua_pop(L, 1);
    lua_setfield(L, LUA_REGISTRYINDEX, kRanksKey);
    return 0;
}

// The message as one line, its control bytes escaped (it reaches standard error).
std::string oneLine(const char* text, const char* chunkName) {
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    if (line.compare(0, std::strlen(chunkName), chunkName) != 0)
        line = std::string(chunkName) + ": " + line;
    return escapeForTerminal(line);
}
}  // namespace

lua_State* openSandbox(const char* chunkName) {
    auto* s = new SandboxState();
    std::snprintf(s->chunkName, sizeof s->chunkName, "%s", chunkName);
    lua_State* L = lua_newstate(cappedAlloc, s);
    if (!L) {
        delete s;
        return nullptr;
    }
    *static_cast<SandboxState**>(lua_getextraspace(L)) = s;
    s->main = L;
    lua_pushcfunction(L, openLibraries);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
        closeSandbox(L);
        return nullptr;
    }
    lua_sethook(L, budgetHook, LUA_MASKCOUNT, kHookEvery);
    return L;
}

void closeSandbox(lua_State* L) {
    if (!L) return;
    SandboxState* s = &state(L);
    // Scripts cannot set finalizers; anything else of theirs that closing might run is stopped
    // at its first instruction.
    s->closing = true;
    lua_sethook(L, budgetHook, LUA_MASKCOUNT, 1);
    lua_close(L);
    delete s;
}

SandboxLimits& sandboxLimits(lua_State* L) { return state(L).limits; }
const char* sandboxChunkName(lua_State* L) { return state(L).chunkName; }

bool loadSandboxChunk(lua_State* L, const char* text, size_t size, std::string& message) {
    lua_pushcfunction(L, rankBuiltins);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
        message = oneLine(lua_tostring(L, -1), state(L).chunkName);
        lua_pop(L, 1);
        return false;
    }
    char name[kMaxChunkName + 2];
    std::snprintf(name, sizeof name, "=%s", state(L).chunkName);
    const int status = luaL_loadbufferx(L, text, size, name, "t");
    if (status == LUA_OK) return true;
    if (status == LUA_ERRMEM || state(L).limits.outOfMemory) {
        message = std::string(state(L).chunkName) + ": script out of memory";
    } else {
        message = oneLine(lua_tostring(L, -1), state(L).chunkName);
    }
    lua_pop(L, 1);
    return false;
}

void setScriptCpuGuard(bool on) { cpuGuard = on; }
bool scriptCpuGuard() { return cpuGuard; }

ScriptFailure callSandboxed(lua_State* L, int nargs, std::string& message) {
    SandboxLimits& limits = state(L).limits;
    if (limits.allowance < 0 && limits.tooLong.empty()) {
        limits.tooSlow = true;
        limits.tooLong = std::string(state(L).chunkName) + ": script too slow";
    }
    if (limits.outOfMemory || !limits.tooLong.empty()) {
        lua_pop(L, nargs + 1);
        message = limits.outOfMemory ? std::string(state(L).chunkName) + ": script out of memory"
                                     : limits.tooLong;
        return limits.outOfMemory ? ScriptFailure::OutOfMemory
                                  : limits.tooSlow ? ScriptFailure::TooSlow : ScriptFailure::TooLong;
    }
    limits.instructions = 0;
    limits.cpuDeadline = cpuSeconds() + limits.cpuBudget;
    const int status = lua_pcall(L, nargs, 0, 0);
    if (status == LUA_OK) return ScriptFailure::None;
    ScriptFailure failure = ScriptFailure::Error;
    if (limits.outOfMemory || status == LUA_ERRMEM) {
        limits.outOfMemory = true;
        message = std::string(state(L).chunkName) + ": script out of memory";
        failure = ScriptFailure::OutOfMemory;
    } else if (!limits.tooLong.empty()) {
        message = limits.tooLong;
        failure = limits.tooSlow ? ScriptFailure::TooSlow : ScriptFailure::TooLong;
    } else if (lua_type(L, -1) == LUA_TSTRING) {
        message = oneLine(lua_tostring(L, -1), state(L).chunkName);
    } else {
        message = oneLine((std::string("error object is a ") + luaL_typename(L, -1) + " value").c_str(),
                          state(L).chunkName);
    }
    lua_pop(L, 1);
    return failure;
}

const char* sandboxToString(lua_State* L, int index) {
    index = lua_absindex(L, index);
    if (luaL_callmeta(L, index, "__tostring")) {
        if (!lua_isstring(L, -1)) luaL_error(L, "'__tostring' must return a string");
        return lua_tostring(L, -1);
    }
    const int type = lua_type(L, index);
    if (isObject(type)) {
        const int64_t id = objectId(L, index);
        return lua_pushfstring(L, "%s #%I", luaL_typename(L, index), static_cast<lua_Integer>(id));
    }
    return luaL_tolstring(L, index, nullptr);
}

void chargeSandbox(lua_State* L, double instructions) {
    SandboxState& s = state(L);
    spend(s, instructions);
    if (overBudget(s.limits) || !s.limits.tooLong.empty()) checkBudget(L, nullptr);
}

void creditSandbox(lua_State* L) {
    SandboxLimits& limits = state(L).limits;
    limits.allowance = std::min(limits.allowance + kAllowancePerStep, kMaxAllowance);
}

void interruptSandboxes() { interrupted = 1; }
