function on_step() while true do end end
