-- A row of pendulums that keeps swinging: five balls on ropes, touching, bouncing without loss.
-- Press x to swing the first ball into the row.

local WOOD = "image.png"  -- the crate's wood, one frame

local BALLS, R, TOP, LENGTH = 5, 16, -190, 240
local balls, swung, highest, reported

function on_start()
  game.keys{x = "swing the first ball"}
  game.ambient(0.3, 0.3, 0.36)
  balls, swung, highest, reported = {}, false, nil, false
  for i = 1, BALLS do
    local x = (i - (BALLS + 1) / 2) * 2 * R
    local ball = game.body{shape = "circle", r = R, x = x, y = TOP + LENGTH, sheet = WOOD,
                           restitution = 1, friction = 0, density = 4}
    game.rope{a = nil, b = ball, ax = x, ay = TOP, bx = x, by = TOP + LENGTH}
    balls[i] = ball
  end
  game.lamp(0, 0, 1)
  game.camera(0, 0)
  game.say("x: swing the first ball")
end

function on_key(key)
  if key ~= "x" or swung then return end
  swung = true
  -- Sideways and up together, so it swings out along its circle.
  balls[1]:push(-3500, -300)
end

function on_step()
  if not swung then return end
  local last = balls[BALLS]
  local _, y = last:position()
  local rest = TOP + LENGTH
  if highest == nil or y < highest then highest = y end
  local _, vy = last:velocity()
  if highest < rest - 20 and vy > 0 and not reported then
    reported = true
    local text = string.format("The last ball swung %d units high", math.floor(rest - highest))
    game.say(text)
    print(text:lower())
    game.finish{text = text, score = math.floor(rest - highest), higher = true}
  end
end
