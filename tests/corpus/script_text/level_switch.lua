-- A switch that opens a gate: land a crate on the plate and the gate lifts.
-- b drops a crate over the plate; a right-click drops one where you click.

local PLATE_X, GATE_X = 150, 400
local gate, crates, open

function on_start()
  game.body{x = PLATE_X, y = 196, w = 64, h = 8, dynamic = false, frame = 8, light = true}
  gate = game.body{x = GATE_X, y = 100, w = 24, h = 200, dynamic = false, frame = 4}
  crates, open = {}, false
  game.say("b or right-click: drop a crate on the plate")
end

local function drop(x, y)
  crates[#crates + 1] = game.box(x, y)
end

function on_key(key)
  if key == "b" then drop(PLATE_X + math.random(-10, 10), -100) end
end

function on_click(x, y)
  drop(x, y)
end

local function onPlate(crate)
  if not crate:alive() then return false end
  local x, y = crate:position()
  local _, vy = crate:velocity()
  return math.abs(x - PLATE_X) < 40 and y > 150 and y < 196 and math.abs(vy) < 5
end

function on_step()
  if open then return end
  for _, crate in ipairs(crates) do
    if onPlate(crate) then
      open = true
      gate:move(GATE_X, -300)
      game.burst(GATE_X, 100)
      game.say("The gate is open")
      print("gate open at " .. string.format("%.2f", game.time()) .. " s")
      return
    end
  end
end
