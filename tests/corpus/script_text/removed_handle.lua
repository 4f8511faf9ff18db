local b = game.box(0, 0)
b:remove()
function on_step() print(b:alive()); b:push(1, 1) end
