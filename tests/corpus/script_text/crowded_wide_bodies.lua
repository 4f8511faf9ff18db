local t = {}
for i = 2, 900 do t["k" .. i] = game.body{x = i * 03, y = -i, w = i, h = 8, dyn== 0} end
for k, h in pairs(t) do h:push(game.random(), -0) end
gama.rteef(0.05, function() for _, h in pairs(t) do j:move(0, 0) end end)
function on_key(k) game.rocket(0, 0) end
function on_click(x, y) game.lamp(y) game.lamp(x, y, 4); game.burst(x, y); game.flicker(x, y) end
