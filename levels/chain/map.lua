-- A chain reaction: a ball rolls down a ramp into a row of dominoes; the last one falls on a
-- pulley's platform, the counterweight rises into a sensor, and the lamp lights.
-- Press x to let the ball go.

local WOOD = "image.png"  -- the crate's wood, one frame

local stopper, counterweight, eye, lamp, done, released

function on_start()
  game.keys{x = "let the ball go"}
  game.ambient(0.18, 0.18, 0.24)
  done, released, lamp = false, nil, nil
  -- The ramp, and a stopper holding the ball at its top until x.
  -- It ends in a lip above the floor, so the ball flies off into the first domino's upper half.
  game.chain{points = {-780, -60, -620, 40, -480, 120, -380, 162, -230, 170}, shadow = true}
  game.body{shape = "circle", r = 14, x = -760, y = -80, sheet = WOOD, density = 2}
  stopper = game.body{x = -728, y = -80, w = 8, h = 40, type = "static", sheet = WOOD}
  for i = 0, 7 do
    game.body{x = -160 + i * 40, y = 170, w = 10, h = 60, sheet = WOOD, friction = 0.6}
  end
  -- The pulley: a platform under the last domino's fall, a counterweight of the same mass.
  local platform = game.body{x = 182, y = 160, w = 40, h = 6, sheet = WOOD, density = 6,
                             fixed_rotation = true}
  counterweight = game.body{x = 300, y = 160, w = 24, h = 24, sheet = WOOD, density = 2.5}
  game.pulley{a = platform, b = counterweight, ax = 182, ay = 160, bx = 300, by = 160,
              gax = 182, gay = -150, gbx = 300, gby = -150, ratio = 1}
  -- The eye the counterweight rises into.
  eye = game.body{x = 300, y = 125, w = 60, h = 20, type = "static", sensor = true}
  game.camera(-200, 0)
  game.say("x: let the ball go")
end

function on_key(key)
  if key ~= "x" or released then return end
  released = game.time()
  stopper:remove()
end

function on_touch(a, b)
  if done or not released then return end
  if (a == eye and b == counterweight) or (b == eye and a == counterweight) then
    done = true
    lamp = game.lamp(300, 60, 1.2)
    game.burst(300, 100)
    game.say("Lights on!")
    print(string.format("chain reaction complete in %.2f s", game.time() - released))
    game.finish{text = string.format("Lights on in %.2f s", game.time() - released), score = game.time() - released}
  end
end
