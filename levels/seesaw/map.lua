-- A see-saw catapult: a plank turns on a hinge over its pivot, a crate waits on its left end.
-- Press x (or right-click) to drop a weight on the right end and send the crate flying.

local WOOD = "image.png"  -- the crate's wood, one frame

local crate, highest, dropped, reported

function on_start()
  game.keys{x = "drop the weight on the right end"}
  game.ambient(0.4, 0.4, 0.46)
  game.lamp(0, 0, 0.9)
  local pivot = game.body{x = 0, y = 180, w = 24, h = 40, type = "static", sheet = WOOD}
  local plank = game.body{x = 0, y = 152, w = 320, h = 12, sheet = WOOD, density = 0.5}
  game.hinge{a = pivot, b = plank, x = 0, y = 152, lower = -20, upper = 20}
  -- A body, not a crate: crates expire after 24 s and this one must wait for the player.
  crate = game.body{x = -140, y = 126, w = 32, h = 32, sheet = WOOD, density = 0.5}
  highest, dropped, reported = nil, 0, false
  game.camera(0, 0)
  game.say("x or right-click: drop the weight")
end

local function drop(x)
  dropped = dropped + 1
  game.body{x = x, y = -250, w = 48, h = 48, sheet = WOOD, light = true, density = 4}
end

function on_key(key)
  if key == "x" then drop(140) end
end

function on_click(x, y)
  drop(x)
end

function on_step()
  if not crate:alive() or dropped == 0 then return end
  local _, y = crate:position()
  if highest == nil or y < highest then highest = y end
  local _, vy = crate:velocity()
  -- At the top of its flight: it has stopped rising.
  if vy > 0 and highest < 0 and not reported then
    reported = true
    local text = string.format("The crate flew %d units high", math.floor(126 - highest))
    game.say(text)
    print(text:lower())
    game.finish{text = text, score = math.floor(126 - highest), higher = true}
  end
end
