-- A see-saw catapult built from scripted bodies: a plank rests on a pivot, a crate waits on
-- its left end. Press x (or right-click) to drop a weight on the right end.

local crate, highest, dropped, reported

function on_start()
  game.body{x = 0, y = 180, w = 24, h = 40, dynamic = false, frame = 2}  -- the pivot
  game.body{x = 0, y = 152, w = 320, h = 12, frame = 4}                  -- the plank
  crate = game.box(-140, 120)
  highest = nil
  dropped = 0
  game.camera(0, 0)
  game.say("x or right-click: drop the weight")
end

local function drop(x)
  dropped = dropped + 1
  game.body{x = x, y = -250, w = 48, h = 48, frame = 6, light = true}
end

function on_key(key)
  if key == "x" then drop(140) end
end

function on_click(x, y)
  drop(x)
end

function on_step()
  if not crate:alive() then return end
  local _, y = crate:position()
  if dropped > 0 and (highest == nil or y < highest) then highest = y end
  local _, vy = crate:velocity()
  if highest and vy > 0 and highest < 100 and not reported then
    reported = true
    local text = string.format("The crate flew %d units high", math.floor(120 - highest))
    game.say(text)
    print(text:lower())
    game.after(2, function() reported = false; highest = nil end)
  end
end
