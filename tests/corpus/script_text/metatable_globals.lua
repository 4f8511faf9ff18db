load(string.char(27) .. "Lua")
setmetatable(_G, {__index = function() error("x") end})
