-- A switch that opens a gate: land a crate on the plate and the gate lifts.
-- x drops a crate over the plate; a right-click drops one where you click; crates sprinkled with
-- space count too.

local WOOD = "image.png"  -- the crate's wood, one frame

local PLATE_X, GATE_X = 150, 400
local plate, gate, open

function on_start()
  game.keys{x = "drop a crate over the plate"}
  game.ambient(0.4, 0.4, 0.46)
  game.lamp(250, 0, 0.9)
  -- A sensor: it notices whatever lands in it and stops nothing.
  plate = game.body{x = PLATE_X, y = 192, w = 64, h = 16, type = "static", sensor = true,
                    sheet = WOOD, light = true}
  gate = game.body{x = GATE_X, y = 100, w = 24, h = 200, type = "static", sheet = WOOD}
  open = false
  game.say("x or right-click: drop a crate on the plate")
end

local function drop(x, y)
  game.box(x, y)
end

function on_key(key)
  if key == "x" then drop(PLATE_X + math.random(-10, 10), -100) end
end

function on_click(x, y)
  drop(x, y)
end

function on_touch(a, b)
  local other = a == plate and b or b == plate and a
  if open or not other or other.kind ~= "box" then return end
  open = true
  gate:move(GATE_X, -300)
  game.burst(GATE_X, 100)
  game.say("The gate is open")
  print("gate open at " .. string.format("%.2f", game.time()) .. " s")
  game.finish{text = string.format("Gate open at %.2f s", game.time()), score = game.time()}
end
