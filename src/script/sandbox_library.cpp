// sandbox_library.cpp: library calls charged for their work. The budget hook runs between VM
// instructions, so one library call that loops a billion times, or one repeated a thousand times
// over a long string between two checks, would never be stopped: each function below says
// what its call will cost before it starts (refused with "script took too long" when that is past
// the budget), or counts as it runs.
//
// Lua unwinds errors with longjmp: no C++ object with a destructor is alive across a call that
// can raise.
#include "script/sandbox_library.h"

#include <algorithm>
#include <cstring>

#include "script/lua_sandbox.h"
#include "script/pattern_cost.h"

namespace {
// One instruction stands for this many matcher steps: a whole call's budget is 100 million
// steps, which take from a tenth of a second (a plain scan) to about half a second (deep
// recursion through captures and sets).
constexpr double kPatternStepsPerInstruction = 10.0;
// And for this many bytes read by a plain scan (a find without magic characters, a UTF-8 walk).
constexpr double kBytesScannedPerInstruction = 16.0;
constexpr const char* kPatternSpecials = "^$*+?.([%-";
// What a call from inside a library function costs (a built-in one runs no instruction).
constexpr double kInstructionsPerCall = 20.0;
// And each element table.concat turns into text and copies.
constexpr double kInstructionsPerElement = 8.0;

// Calls the original function (upvalue 1) with every argument, returning all its results.
int callOriginal(lua_State* L) {
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

double bytes(size_t n) { return static_cast<double>(n); }

// A table, or something with a metatable that may act as one; otherwise the usual error.
void checkTableLike(lua_State* L, int arg) {
    if (lua_type(L, arg) == LUA_TTABLE) return;
    if (lua_getmetatable(L, arg)) {
        lua_pop(L, 1);
        return;
    }
    luaL_checktype(L, arg, LUA_TTABLE);
}

// --- Pattern searches. ---

// A start position as string.find reads it: 1-based, negative from the end.
size_t startIndex(lua_Integer position, size_t length) {
    if (position > 0) return static_cast<size_t>(position);
    if (position == 0) return 1;
    if (position < -static_cast<lua_Integer>(length)) return 1;
    return length + static_cast<size_t>(position) + 1;
}

void chargePattern(lua_State* L, const char* s, size_t n, const char* p, size_t m, bool anchorable) {
    chargeSandbox(L, patternSteps(s, n, p, m, anchorable) / kPatternStepsPerInstruction);
}

bool hasSpecials(const char* p, size_t m) {
    for (size_t i = 0; i < m; ++i)
        if (p[i] != '\0' && std::strchr(kPatternSpecials, p[i])) return true;
    return false;
}

// A plain find searches in linear time (the C library's memmem); the library's own search
// compares the needle at every position of the subject.
int boundedFind(lua_State* L) {
    size_t n = 0, m = 0;
    const char* s = luaL_checklstring(L, 1, &n);
    const char* p = luaL_checklstring(L, 2, &m);
    const size_t init = startIndex(luaL_optinteger(L, 3, 1), n) - 1;
    if (!lua_toboolean(L, 4) && hasSpecials(p, m)) {
        chargePattern(L, s, n, p, m, true);
        return callOriginal(L);
    }
    chargeSandbox(L, 1.0 + (bytes(n) + bytes(m)) / kBytesScannedPerInstruction);
    if (init > n) {
        lua_pushnil(L);
        return 1;
    }
    const void* found = m == 0 ? s + init : memmem(s + init, n - init, p, m);
    if (!found) {
        lua_pushnil(L);
        return 1;
    }
    const auto at = static_cast<lua_Integer>(static_cast<const char*>(found) - s);
    lua_pushinteger(L, at + 1);
    lua_pushinteger(L, at + static_cast<lua_Integer>(m));
    return 2;
}

int boundedMatch(lua_State* L) {
    size_t n = 0, m = 0;
    const char* s = luaL_checklstring(L, 1, &n);
    const char* p = luaL_checklstring(L, 2, &m);
    luaL_optinteger(L, 3, 1);
    chargePattern(L, s, n, p, m, true);
    return callOriginal(L);
}

// gmatch is charged for the whole walk when it starts; '^' does not anchor it.
int boundedGmatch(lua_State* L) {
    size_t n = 0, m = 0;
    const char* s = luaL_checklstring(L, 1, &n);
    const char* p = luaL_checklstring(L, 2, &m);
    luaL_optinteger(L, 3, 1);
    chargePattern(L, s, n, p, m, false);
    return callOriginal(L);
}

// A function given to gsub is called once a match; a built-in one runs no instruction the hook
// would count, so each call is charged here.
int chargedReplacement(lua_State* L) {
    chargeSandbox(L, kInstructionsPerCall);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

int boundedGsub(lua_State* L) {
    size_t n = 0, m = 0;
    const char* s = luaL_checklstring(L, 1, &n);
    const char* p = luaL_checklstring(L, 2, &m);
    const int replacement = lua_type(L, 3);
    luaL_argexpected(L, replacement == LUA_TNUMBER || replacement == LUA_TSTRING ||
                            replacement == LUA_TFUNCTION || replacement == LUA_TTABLE,
                     3, "string/function/table");
    luaL_optinteger(L, 4, 0);
    chargePattern(L, s, n, p, m, true);
    if (replacement == LUA_TTABLE) chargeSandbox(L, bytes(n) / kBytesScannedPerInstruction);
    if (replacement == LUA_TFUNCTION) {
        lua_pushvalue(L, 3);
        lua_pushcclosure(L, chargedReplacement, 1);
        lua_replace(L, 3);
    }
    return callOriginal(L);
}

// --- Loops over a count given as an argument. ---

// string.rep("", math.maxinteger) copies nothing, a billion billion times. A result too large
// for the script's memory is refused by the allocator as soon as it is asked for.
int boundedRep(lua_State* L) {
    size_t piece = 0, separator = 0;
    luaL_checklstring(L, 1, &piece);
    const lua_Integer times = luaL_checkinteger(L, 2);
    luaL_optlstring(L, 3, "", &separator);
    const double count = static_cast<double>(std::max<lua_Integer>(times, 0));
    if (count * (bytes(piece) + bytes(separator)) <= static_cast<double>(kScriptMemoryLimit))
        chargeSandbox(L, 1.0 + count / kBytesScannedPerInstruction);
    return callOriginal(L);
}

double span(lua_Integer first, lua_Integer last) {
    return last >= first ? static_cast<double>(last) - static_cast<double>(first) + 1.0 : 0.0;
}

int boundedMove(lua_State* L) {
    checkTableLike(L, 1);
    const lua_Integer first = luaL_checkinteger(L, 2), last = luaL_checkinteger(L, 3);
    luaL_checkinteger(L, 4);
    if (!lua_isnoneornil(L, 5)) checkTableLike(L, 5);
    chargeSandbox(L, 1.0 + span(first, last));
    return callOriginal(L);
}

// The length of the table at 1, asked once: a __len may answer differently each time.
lua_Integer lengthOnce(lua_State* L) {
    checkTableLike(L, 1);
    return luaL_len(L, 1);
}

// table.insert with the shift charged first.
int boundedInsert(lua_State* L) {
    const lua_Integer end = lengthOnce(L);
    const auto firstEmpty = static_cast<lua_Integer>(static_cast<lua_Unsigned>(end) + 1u);
    lua_Integer position = firstEmpty;
    switch (lua_gettop(L)) {
        case 2: break;
        case 3:
            position = luaL_checkinteger(L, 2);
            luaL_argcheck(L, static_cast<lua_Unsigned>(position) - 1u < static_cast<lua_Unsigned>(firstEmpty), 2,
                          "position out of bounds");
            chargeSandbox(L, 1.0 + span(position, firstEmpty));
            for (lua_Integer i = firstEmpty; i > position; --i) {
                lua_geti(L, 1, i - 1);
                lua_seti(L, 1, i);
            }
            break;
        default: return luaL_error(L, "wrong number of arguments to 'insert'");
    }
    lua_seti(L, 1, position);
    return 0;
}

// table.remove with the shift charged first.
int boundedRemove(lua_State* L) {
    const lua_Integer size = lengthOnce(L);
    lua_Integer position = luaL_optinteger(L, 2, size);
    if (position != size)
        luaL_argcheck(L, static_cast<lua_Unsigned>(position) - 1u <= static_cast<lua_Unsigned>(size), 2,
                      "position out of bounds");
    chargeSandbox(L, 1.0 + span(position, size));
    lua_geti(L, 1, position);
    for (; position < size; ++position) {
        lua_geti(L, 1, position + 1);
        lua_seti(L, 1, position);
    }
    lua_pushnil(L);
    lua_seti(L, 1, position);
    return 1;
}

// concat and unpack get their range spelled out, so the library does not ask the length again.
int boundedConcat(lua_State* L) {
    checkTableLike(L, 1);
    const lua_Integer end = lua_isnoneornil(L, 4) ? lengthOnce(L) : luaL_checkinteger(L, 4);
    luaL_optlstring(L, 2, "", nullptr);
    const lua_Integer first = luaL_optinteger(L, 3, 1);
    chargeSandbox(L, 1.0 + kInstructionsPerElement * span(first, end));
    lua_settop(L, 2);
    lua_pushinteger(L, first);
    lua_pushinteger(L, end);
    return callOriginal(L);
}

int boundedUnpack(lua_State* L) {
    const lua_Integer first = luaL_optinteger(L, 2, 1);
    const lua_Integer end = lua_isnoneornil(L, 3) ? luaL_len(L, 1) : luaL_checkinteger(L, 3);
    chargeSandbox(L, 1.0 + span(first, end));
    lua_settop(L, 1);
    lua_pushinteger(L, first);
    lua_pushinteger(L, end);
    return callOriginal(L);
}

// --- Scans of a string argument. ---

// Charges a scan of the string argument at arg, then calls the original.
int scanString(lua_State* L, int arg) {
    size_t n = 0;
    luaL_checklstring(L, arg, &n);
    chargeSandbox(L, 1.0 + bytes(n) / kBytesScannedPerInstruction);
    return callOriginal(L);
}

int boundedUtf8Len(lua_State* L) {
    luaL_optinteger(L, 2, 1);
    luaL_optinteger(L, 3, -1);
    return scanString(L, 1);
}

int boundedCodepoint(lua_State* L) {
    luaL_optinteger(L, 2, 1);
    luaL_optinteger(L, 3, 1);
    return scanString(L, 1);
}

int boundedOffset(lua_State* L) {
    luaL_checkinteger(L, 2);
    luaL_optinteger(L, 3, 1);
    return scanString(L, 1);
}

// The step of utf8.codes skips the continuation bytes after its position: on a string of
// nothing else, that is the whole string on every call.
int chargedCodesStep(lua_State* L) {
    size_t n = 0;
    const char* s = luaL_checklstring(L, 1, &n);
    auto at = static_cast<lua_Unsigned>(lua_tointeger(L, 2));
    const lua_Unsigned from = at;
    while (at < n && (static_cast<unsigned char>(s[at]) & 0xc0u) == 0x80u) ++at;
    chargeSandbox(L, 1.0 + static_cast<double>(at - from) / kBytesScannedPerInstruction);
    return callOriginal(L);
}

int boundedCodes(lua_State* L) {
    luaL_checkstring(L, 1);
    const int results = callOriginal(L);
    if (results >= 1 && lua_isfunction(L, 1)) {
        lua_pushvalue(L, 1);
        lua_pushcclosure(L, chargedCodesStep, 1);
        lua_replace(L, 1);
    }
    return results;
}

int boundedTonumber(lua_State* L) {
    if (lua_isnoneornil(L, 2)) {
        luaL_checkany(L, 1);
        if (lua_type(L, 1) == LUA_TSTRING) return scanString(L, 1);
        return callOriginal(L);
    }
    luaL_checktype(L, 1, LUA_TSTRING);
    const lua_Integer base = luaL_checkinteger(L, 2);
    luaL_argcheck(L, 2 <= base && base <= 36, 2, "base out of range");
    return scanString(L, 1);
}

int boundedPack(lua_State* L) { return scanString(L, 1); }

// Two long strings of one length are compared byte by byte.
int boundedRawequal(lua_State* L) {
    luaL_checkany(L, 1);
    luaL_checkany(L, 2);
    if (lua_type(L, 1) == LUA_TSTRING && lua_type(L, 2) == LUA_TSTRING)
        chargeSandbox(L, bytes(lua_rawlen(L, 1)) / kBytesScannedPerInstruction / 4.0);
    return callOriginal(L);
}

int boundedUnpackString(lua_State* L) {
    size_t n = 0;
    luaL_checklstring(L, 2, &n);
    luaL_optinteger(L, 3, 1);
    chargeSandbox(L, bytes(n) / kBytesScannedPerInstruction);
    return scanString(L, 1);
}

void wrap(lua_State* L, const char* library, const char* name, lua_CFunction wrapper) {
    if (library) {
        lua_getglobal(L, library);
    } else {
        lua_pushglobaltable(L);
    }
    lua_getfield(L, -1, name);
    lua_pushcclosure(L, wrapper, 1);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}
}  // namespace

void boundLibraryCalls(lua_State* L) {
    wrap(L, LUA_STRLIBNAME, "find", boundedFind);
    wrap(L, LUA_STRLIBNAME, "match", boundedMatch);
    wrap(L, LUA_STRLIBNAME, "gmatch", boundedGmatch);
    wrap(L, LUA_STRLIBNAME, "gsub", boundedGsub);
    wrap(L, LUA_STRLIBNAME, "rep", boundedRep);
    wrap(L, LUA_STRLIBNAME, "pack", boundedPack);
    wrap(L, LUA_STRLIBNAME, "packsize", boundedPack);
    wrap(L, LUA_STRLIBNAME, "unpack", boundedUnpackString);
    wrap(L, LUA_TABLIBNAME, "move", boundedMove);
    wrap(L, LUA_TABLIBNAME, "concat", boundedConcat);
    wrap(L, LUA_TABLIBNAME, "unpack", boundedUnpack);
    wrap(L, LUA_UTF8LIBNAME, "len", boundedUtf8Len);
    wrap(L, LUA_UTF8LIBNAME, "codepoint", boundedCodepoint);
    wrap(L, LUA_UTF8LIBNAME, "offset", boundedOffset);
    wrap(L, LUA_UTF8LIBNAME, "codes", boundedCodes);
    wrap(L, nullptr, "tonumber", boundedTonumber);
    wrap(L, nullptr, "rawequal", boundedRawequal);
    // Written out here, not wrapped: the shift must use the one length asked for.
    lua_getglobal(L, LUA_TABLIBNAME);
    lua_pushcfunction(L, boundedInsert);
    lua_setfield(L, -2, "insert");
    lua_pushcfunction(L, boundedRemove);
    lua_setfield(L, -2, "remove");
    lua_pop(L, 1);
}
