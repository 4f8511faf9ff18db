// hostile_scripts.h: level scripts written to hang or flood the game, each with the one line it
// is stopped with. The scripted game and the replay tool both run them.
#pragma once

struct HostileScript {
    const char* name;
    const char* script;
    const char* line;  // on standard error, and shown
};

inline constexpr HostileScript kHostileScripts[] = {
    {"Finalizer", "setmetatable({}, {__gc = function() while true do end end})\n",
     "map.lua:1: setmetatable: a metatable with __gc is not allowed in a level script"},
    {"CloseThatLoops", "do local x <close> = setmetatable({}, {__close = function() while true do end end}) end\n",
     "map.lua:1: script took too long"},
    {"RepOfNothing", "local s = string.rep('', math.maxinteger)\n", "map.lua:1: script took too long"},
    {"MoveOfNothing", "table.move({}, 1, math.maxinteger - 1, 2)\n", "map.lua:1: script took too long"},
    {"InsertUnderALyingLength",
     "local t = setmetatable({}, {__len = function() return math.maxinteger - 1 end})\ntable.insert(t, 1, 0)\n",
     "map.lua:2: script took too long"},
    {"SortOfLongEqualStrings",
     "local s = string.rep('x', 1 << 20)\nlocal t = {}\nfor i = 1, 300 do t[i] = s end\ntable.sort(t)\n",
     "map.lua:4: script took too long"},
    {"PlainFindsOverALongSubject",
     "local s = string.rep('a', 1 << 22)\nfor i = 1, 1000 do s:find('ab', 1, true) end\n",
     "map.lua:2: script took too long"},
    {"BalanceOverAMillionBrackets", "local s = string.rep('(', 1000000)\nreturn s:find('%b()')\n",
     "map.lua:2: script took too long"},
    {"NextOverABigTable",
     "local t = {}\nfor i = 1, 100000 do t[i] = i end\nlocal k\nrepeat k = next(t, k) until k == nil\n",
     "map.lua:4: script took too long"},
    {"CodesStepOverContinuations",
     "local s = string.rep('\\x80', 1 << 22)\nlocal step = utf8.codes(s)\nfor i = 1, 1000 do pcall(step, s, 1) end\n",
     "map.lua:3: script took too long"},
    {"LoadOfALongText", "local s = string.rep(' ', 1 << 22)\nfor i = 1, 1000 do load(s) end\n",
     "map.lua:2: script took too long"},
    {"TimerFlood", "for i = 1, 400000 do game.after(1, function() end) end\n",
     "map.lua:1: too many timers pending (10000): let some fire first"},
    {"BurstFlood", "for i = 1, 100000 do game.burst(0, 0) end\n",
     "map.lua:1: too many bursts (10000 alive): let some finish first"},
    {"CarFlood", "for i = 1, 100 do game.car(i * 40, -300) end\n",
     "map.lua:1: too many cars (50 is the limit): remove some first"},
    {"JustUnderTheStepBudget", "function on_step()\n  local n = 0\n  for i = 1, 2000000 do n = n + i end\nend\n",
     "map.lua: script too slow"},
};
