// lua_sandbox.cpp: the sandboxed state: allocator, budget hook, the safe library set and the
// replacements that make a script's behaviour independent of addresses and time.
//
// The Lua library unwinds errors with longjmp, so every C function here keeps no C++ object with
// a destructor alive across a call that can raise.
#include "script/lua_sandbox.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <unordered_map>
#include <vector>

namespace {
constexpr int kHookEvery = 1000;  // instructions between two budget checks
constexpr const char* kIdsKey = "kelvoran.ids";
constexpr size_t kMaxChunkName = 63;
// A pattern search whose worst case (subject length to the power of its repetition items, plus
// one for the starting positions) exceeds this many steps is stopped before it starts: once
// inside the library's matcher nothing can interrupt it.
constexpr double kMaxPatternSteps = 2e8;

// Objects found by neither birth nor an earlier sight are numbered from here, after any birth.
constexpr int64_t kFirstSightIds = int64_t{1} << 40;
// What one entry of the birth table costs, charged to the script's memory.
constexpr size_t kBirthEntryBytes = 64;

struct SandboxState {
    SandboxLimits limits;
    char chunkName[kMaxChunkName + 1] = "";
    // Every table and function the state makes, by the order it was made: the allocator sees
    // them born, in the same order on every run, whatever addresses they get.
    std::unordered_map<const void*, int64_t> births;
    int64_t nextBirth = 1;
    int64_t nextObjectId = kFirstSightIds;
};

SandboxState& state(lua_State* L) { return **static_cast<SandboxState**>(lua_getextraspace(L)); }

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool numberedAtBirth(size_t kind) { return kind == LUA_TTABLE || kind == LUA_TFUNCTION; }

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
    return grown;
}

// Raises "map.lua:LINE: script took too long" from the running Lua function, and keeps raising
// it at every later check, so a pcall inside the script cannot swallow it.
[[noreturn]] void raiseTooLong(lua_State* L, lua_Debug* ar) {
    SandboxState& s = state(L);
    if (s.limits.tooLong.empty()) {
        char text[160];
        int line = -1;
        if (ar && lua_getinfo(L, "l", ar)) line = ar->currentline;
        if (line < 0) {
            lua_Debug caller;
            if (lua_getstack(L, 1, &caller) && lua_getinfo(L, "l", &caller)) line = caller.currentline;
        }
        if (line > 0) {
            std::snprintf(text, sizeof text, "%s:%d: script took too long", s.chunkName, line);
        } else {
            std::snprintf(text, sizeof text, "%s: script took too long", s.chunkName);
        }
        s.limits.tooLong = text;
    }
    lua_pushstring(L, s.limits.tooLong.c_str());
    lua_error(L);
    std::abort();  // lua_error does not return
}

void budgetHook(lua_State* L, lua_Debug* ar) {
    SandboxLimits& limits = state(L).limits;
    limits.instructions += kHookEvery;
    if (!limits.tooLong.empty() || limits.instructions > limits.instructionLimit ||
        cpuSeconds() > limits.cpuDeadline)
        raiseTooLong(L, ar);
}

bool stopping(lua_State* L) {
    const SandboxLimits& limits = state(L).limits;
    return limits.outOfMemory || !limits.tooLong.empty();
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

// load, always in text mode: a precompiled chunk could break the VM's own checks.
int textOnlyLoad(lua_State* L) {
    luaL_checkany(L, 1);
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

int64_t objectId(lua_State* L, int index) {
    index = lua_absindex(L, index);
    const SandboxState& s = state(L);
    const auto born = s.births.find(lua_topointer(L, index));
    if (born != s.births.end()) return born->second;
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
// objects by number. ---

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
        k.rank = 3;
        const SandboxState& s = state(L);
        const auto born = s.births.find(lua_topointer(L, index));
        if (born != s.births.end()) {
            k.id = born->second;
        } else {
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

// Numbers every object key of the table at index (may raise: nothing of ours is alive).
void numberObjectKeys(lua_State* L, int index) {
    lua_pushnil(L);
    while (lua_next(L, index)) {
        lua_pop(L, 1);
        if (isObject(lua_type(L, -1))) objectId(L, -1);
    }
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

int printFunction(lua_State* L) {
    const int n = lua_gettop(L);
    luaL_Buffer line;
    luaL_buffinit(L, &line);
    for (int i = 1; i <= n; ++i) {
        if (i > 1) luaL_addchar(&line, '\t');
        sandboxToString(L, i);
        luaL_addvalue(&line);
    }
    luaL_addchar(&line, '\n');
    luaL_pushresult(&line);
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    std::cout.write(text, static_cast<std::streamsize>(length));
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
    // The two values are on top: a then b.
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

// --- Pattern searches whose worst case would run past the budget inside one library call. ---

// Items a pattern can repeat a variable number of times (x*, x+, x-).
int repeatedItems(const char* pattern, size_t length) {
    int items = 0;
    for (size_t i = 0; i < length; ++i) {
        const char c = pattern[i];
        if (c == '%') {
            if (i + 1 < length && (pattern[i + 1] == 'b' || pattern[i + 1] == 'f')) {
                i += pattern[i + 1] == 'b' ? 3 : 1;
                continue;
            }
            ++i;
        } else if (c == '[') {
            ++i;
            if (i < length && pattern[i] == '^') ++i;
            if (i < length) ++i;  // a leading ] is a member
            while (i < length && pattern[i] != ']') i += pattern[i] == '%' ? 2 : 1;
        }
        if (i + 1 < length && std::strchr("*+-", pattern[i + 1])) {
            ++items;
            ++i;
        }
    }
    return items;
}

void checkPatternCost(lua_State* L, bool plainAllowed) {
    size_t subject = 0, patternLength = 0;
    luaL_checklstring(L, 1, &subject);
    const char* pattern = luaL_checklstring(L, 2, &patternLength);
    if (plainAllowed && lua_toboolean(L, 4)) return;
    double steps = static_cast<double>(subject) + 1.0;  // the starting positions
    const int items = repeatedItems(pattern, patternLength);
    for (int k = 1; k <= items && steps <= kMaxPatternSteps; ++k)
        steps *= (static_cast<double>(subject) + 1.0) / k;
    steps *= static_cast<double>(patternLength) + 1.0;
    if (steps > kMaxPatternSteps) raiseTooLong(L, nullptr);
}

int guardedSearch(lua_State* L, bool plainAllowed) {
    checkPatternCost(L, plainAllowed);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}
int guardedFind(lua_State* L) { return guardedSearch(L, true); }
int guardedOther(lua_State* L) { return guardedSearch(L, false); }

void wrapField(lua_State* L, const char* library, const char* name, lua_CFunction wrapper) {
    lua_getglobal(L, library);
    lua_getfield(L, -1, name);
    lua_pushcclosure(L, wrapper, 1);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
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
    lua_getglobal(L, "load");
    lua_pushcclosure(L, textOnlyLoad, 1);
    lua_setglobal(L, "load");
    setField(L, LUA_STRLIBNAME, "dump", nullptr);
    setField(L, LUA_TABLIBNAME, "sort", stableSort);
    setField(L, LUA_MATHLIBNAME, "randomseed", nullptr);
    wrapField(L, LUA_STRLIBNAME, "format", safeFormat);
    wrapField(L, LUA_STRLIBNAME, "find", guardedFind);
    for (const char* name : {"match", "gmatch", "gsub"}) wrapField(L, LUA_STRLIBNAME, name, guardedOther);
    return 0;
}

std::string oneLine(const char* text, const char* chunkName) {
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    if (line.compare(0, std::strlen(chunkName), chunkName) != 0)
        line = std::string(chunkName) + ": " + line;
    return line;
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
    lua_close(L);
    delete s;
}

SandboxLimits& sandboxLimits(lua_State* L) { return state(L).limits; }
const char* sandboxChunkName(lua_State* L) { return state(L).chunkName; }

bool loadSandboxChunk(lua_State* L, const char* text, size_t size, std::string& message) {
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

ScriptFailure callSandboxed(lua_State* L, int nargs, std::string& message) {
    SandboxLimits& limits = state(L).limits;
    if (limits.outOfMemory || !limits.tooLong.empty()) {
        lua_pop(L, nargs + 1);
        message = limits.outOfMemory ? std::string(state(L).chunkName) + ": script out of memory"
                                     : limits.tooLong;
        return limits.outOfMemory ? ScriptFailure::OutOfMemory : ScriptFailure::TooLong;
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
        failure = ScriptFailure::TooLong;
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
