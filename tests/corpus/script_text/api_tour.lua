local t = {}
for i = 1, 100 do t["k" .. i] = game.body{x = i * 10, y = -i, w = i, h = 8, dynamic = i % 2 == 0} end
for k, h in pairs(t) do h:push(game.random(), -1) end
game.after(0.05, function() for _, h in pairs(t) do h:move(0, 0) end end)
function on_key(k) game.rocket(0, 0) end
function on_click(x, y) game.lamp(x, y, 2); game.burst(x, y); game.flicker(x, y) end
