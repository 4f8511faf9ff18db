// library_bounds_test.cpp: every library function a script reaches, called again and again with
// arguments chosen to make it slow, returns or is refused within its budget.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "script/lua_sandbox.h"
#include "support/property_cases.h"

namespace {
// Thirty times a call's budget of 0.1 s (more under the sanitizers): what this catches is a call
// that runs on for good, and the machine may be busy with other tests.
const double kBoundSeconds = kSanitizedBuild ? 10.0 : 3.0;

struct Outcome {
    ScriptFailure failure = ScriptFailure::None;
    std::string message;
    double seconds = 0.0;
};

Outcome runAlone(const std::string& chunk) {
    Outcome outcome;
    lua_State* L = openSandbox("map.lua");
    const auto begin = std::chrono::steady_clock::now();
    if (!loadSandboxChunk(L, chunk.data(), chunk.size(), outcome.message)) {
        outcome.failure = ScriptFailure::Error;
    } else {
        outcome.failure = callSandboxed(L, 0, outcome.message);
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    closeSandbox(L);
    return outcome;
}

// Each runs its call many times over (one call alone may be cheap; a thousand between two
// checks of the budget are not), on strings of megabytes where that hurts.
const char* const kCalls[] = {
    "string.rep('', math.maxinteger)",
    "string.rep('ab', 1 << 21, '')",
    "s:upper()", "s:lower()", "s:reverse()", "s:sub(2)", "s:byte(1, 100000)", "s:len()",
    "string.format('%s%s', s, s)", "string.format('%99d', 1)",
    "s:find('ab', 1, true)", "s:find('a.-b')", "s:match('(a*)b')", "s:gsub('a', 'b')",
    "s:gsub('.', string.upper)", "for _ in s:gmatch('a') do end", "s:find('%b()')",
    "string.pack('z', s)", "string.unpack('z', s .. '\\0')", "string.packsize(string.rep('i4', 100000))",
    "table.concat(t)", "table.concat(lying)", "table.unpack(t, 1, 100000)",
    "table.move(t, 1, #t, 2)", "table.move({}, 1, math.maxinteger - 1, 2)",
    "table.insert(lying, 1, 0)", "table.remove(lying, 1)", "table.sort(equal)",
    "table.sort(t, function(a, b) return a > b end)",
    "utf8.len(s)", "utf8.codepoint(s, 1, 100000)", "utf8.offset(s, -1)", "utf8.char(65, 66, 67)",
    "local step = utf8.codes(c) pcall(step, c, 1)", "for _ in utf8.codes(s) do end",
    "tonumber(digits)", "tonumber(digits, 36)", "tostring(t)", "load(s)",
    "load(function() return s end)", "select('#', table.unpack(t, 1, 10000))",
    "next(t)", "for _ in pairs(t) do end", "for _ in ipairs(t) do end",
    "rawequal(s, s2)", "rawlen(s)", "rawget(t, 1)", "rawset(t, 1, 1)", "getmetatable(s)",
    "setmetatable({}, {})", "pcall(error, s)", "select(-1, 1, 2, 3)", "type(s)", "math.max(1, 2)",
    "math.random(1, 100)", "math.tointeger(3.0)",
};

const std::string kSetUp =
    "local s = string.rep('a', 1 << 21) .. 'b'\n"
    "local s2 = string.rep('a', 1 << 21) .. 'b'\n"
    "local c = string.rep('\\x80', 1 << 21)\n"
    "local digits = string.rep('7', 1 << 20)\n"
    "local t = {} for i = 1, 100000 do t[i] = i end\n"
    "local equal = {} for i = 1, 2000 do equal[i] = s end\n"
    "local lying = setmetatable({}, {__len = function() return math.maxinteger - 1 end,\n"
    "  __index = function() return '' end})\n";
}  // namespace

TEST(LibraryBounds, EveryFunctionCalledOverAndOverReturnsOrIsRefusedInTime) {
    for (const char* call : kCalls) {
        const Outcome outcome = runAlone(kSetUp + "for i = 1, 20000 do " + call + " end\n");
        EXPECT_LT(outcome.seconds, kBoundSeconds) << call;
        EXPECT_EQ(outcome.failure == ScriptFailure::None, outcome.message.empty()) << call;
    }
}

// Patterns of backtracking items, balances, frontiers and captures over subjects of a few
// characters repeated: each search finishes or is refused before it starts, within the bound.
TEST(LibraryBounds, RandomPatternSearchesEndInTime) {
    const char* const atoms[] = {"a", "b", "(", ")", ".", "%a", "[ab]", "[^a]", "a*", "a-", "a+",
                                 "a?", ".-", ".*", "%b()", "%f[a]", "b*", "(a*)", "%1", "x"};
    const char* const searches[] = {"s:find(p)", "s:match(p)", "s:gsub(p, '')", "for _ in s:gmatch(p) do end"};
    const char* const subjects[] = {"string.rep('a', n)", "string.rep('ab()', n // 4)",
                                    "string.rep('aaaaaaab(', n // 9)"};
    std::mt19937 random(36);
    for (int i = 0; i < propertyCases(300); ++i) {
        std::string pattern = random() % 4 == 0 ? "^" : "";
        for (int k = 1 + static_cast<int>(random() % 7); k > 0; --k) pattern += atoms[random() % 20];
        if (random() % 4 == 0) pattern += "$";
        const std::string chunk = "local n = " + std::to_string(1 + random() % 50000) +
                                  "\nlocal s = " + subjects[random() % 3] + "\nlocal p = [==[" + pattern +
                                  "]==]\nfor i = 1, 3 do " + searches[random() % 4] + " end\n";
        const Outcome outcome = runAlone(chunk);
        EXPECT_LT(outcome.seconds, kBoundSeconds) << chunk;
        EXPECT_NE(outcome.failure, ScriptFailure::OutOfMemory) << chunk;
    }
}
