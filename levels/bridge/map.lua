-- A rope bridge over a gap, and a little car built here from a body and two wheels on sprung
-- axles. Press x to start its motor (again to stop it) and drive it across.

local WOOD = "image.png"  -- the crate's wood, one frame

local PLANKS, GAP_LEFT, GAP_RIGHT, DECK_Y = 10, -200, 200, 196
local chassis, rear, front, driving, crossed, started

local function build_bridge()
  local width = (GAP_RIGHT - GAP_LEFT) / PLANKS
  local previous = nil  -- the world holds the first plank's left end
  for i = 0, PLANKS - 1 do
    local x = GAP_LEFT + (i + 0.5) * width
    local plank = game.body{x = x, y = DECK_Y, w = width - 2, h = 8, sheet = WOOD, density = 2,
                            friction = 1}
    game.hinge{a = previous, b = plank, x = x - width / 2, y = DECK_Y}
    previous = plank
  end
  game.hinge{a = previous, b = nil, x = GAP_RIGHT, y = DECK_Y}
end

local function build_car(x, y)
  -- The wheels and the chassis share a negative group, so they never collide with each other.
  chassis = game.body{x = x, y = y, w = 90, h = 16, sheet = WOOD, group = -1}
  local function wheel(dx)
    local body = game.body{shape = "circle", r = 14, x = x + dx, y = y + 18, sheet = WOOD,
                           friction = 1.5, group = -1}
    return game.wheel{a = chassis, b = body, x = x + dx, y = y + 18, axis_x = 0, axis_y = 1,
                      frequency = 5, damping = 0.7, max_torque = 4000}
  end
  rear, front = wheel(-32), wheel(32)
end

function on_start()
  game.keys{x = "start or stop the car's motor"}
  game.ambient(0.35, 0.35, 0.42)
  build_bridge()
  build_car(-600, 150)
  game.lamp(0, 0, 1)
  game.lamp(700, 60, 0.8)
  driving, crossed, started = false, false, nil
  game.camera(-300, 0)
  game.say("x: start or stop the car's motor")
end

function on_key(key)
  if key ~= "x" then return end
  driving = not driving
  started = started or game.time()
  -- Degrees per second: a 14-unit wheel turning 640 deg/s rolls about 156 units/s.
  local speed = driving and 640 or 0
  rear:motor(speed)
  front:motor(speed)
end

function on_step()
  if not chassis:alive() then return end
  local x, y = chassis:position()
  game.camera(math.max(-300, math.min(x, 600)), 0)
  if not crossed and x > GAP_RIGHT + 200 and y < 200 then
    crossed = true
    game.say("Across!")
    print(string.format("bridge crossed in %.2f s", game.time() - started))
    game.finish{text = string.format("Across in %.2f s", game.time() - started), score = game.time() - started}
  end
end
