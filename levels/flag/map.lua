-- Drive to the flag: the car starts on the left, the flag waits past the hill.
-- w a s d drive; the time from the first step to the flag is the score.

local FLAG_X = 2600
local car, started, finished

function on_start()
  game.keys{w = "drive (a s d steer and brake)"}
  game.ambient(0.22, 0.22, 0.3)
  car = game.car(-600, 150)
  game.body{x = FLAG_X, y = 60, w = 16, h = 48, dynamic = false, frame = 0, light = true}
  for x = -400, 2400, 400 do game.lamp(x, 120, 0.8) end
  game.say("Drive to the flag: w a s d")
  started = game.time()
end

function on_step()
  if finished or not car:alive() then return end
  local x = car:position()
  if x >= FLAG_X then
    finished = true
    local seconds = game.time() - started
    game.say(string.format("Flag reached in %.2f s", seconds))
    print(string.format("flag reached in %.2f s", seconds))
    game.finish{text = string.format("Flag reached in %.2f s", seconds), score = seconds}
    game.burst(FLAG_X, 60)
  end
end
