local t = {}
function on_step() local s = "x" while true do s = s .. s; t[#t+1] = s end end
