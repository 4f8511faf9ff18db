-- The gallery: every shape and joint a level can use, side by side, to copy from.
-- Left to right along the floor: shapes and materials; above them: the joints.
-- Press x to give everything a shove.

local WOOD = "image.png"  -- the crate's wood, one frame

local all = {}

local function keep(h) all[#all + 1] = h; return h end

-- Every piece named where it stands, in the world, so the names follow the view.
local names = {
  {"box", -440, 215}, {"circle", -385, 215}, {"polygon", -330, 215}, {"chain", -240, 215},
  {"ice", -150, 215}, {"rubber", -100, 215}, {"feather", -60, 235}, {"shadow", -15, 215},
  {"light", 30, 235}, {"static", 80, 135}, {"one-way lift", 150, 135}, {"sensor", 220, 215},
  {"hinge + motor", -420, -90}, {"spring", -310, -165}, {"rope", -250, -165}, {"slider", -150, -100},
  {"weld", -35, -165}, {"pulley", 90, -135}, {"gear", 270, -75}, {"wheel", 400, 215},
}
local function label_everything()
  for i, n in ipairs(names) do
    game.label("piece" .. i, n[1], {world = true, x = n[2] - 4 * #n[1], y = n[3], size = 13,
                                     color = {1, 0.92, 0.7}})
  end
  game.label("title", "Gallery: every shape, material and joint", {x = 300, y = 16, size = 22})
end

function on_start()
  game.keys{x = "shove everything"}
  label_everything()
  game.ambient(0.42, 0.42, 0.48)
  game.camera(0, 0)

  -- Shapes: a box, a circle, a polygon (a wedge), and a chain of ground edges.
  keep(game.body{x = -440, y = 180, w = 40, h = 40, sheet = WOOD})
  keep(game.body{shape = "circle", r = 20, x = -385, y = 180, sheet = WOOD})
  keep(game.body{shape = "polygon", points = {-24, 20, 24, 20, 0, -20}, x = -330, y = 178, sheet = WOOD})
  keep(game.chain{points = {-300, 200, -270, 175, -240, 168, -210, 175, -180, 200}, shadow = true})

  -- Materials: ice (no friction), rubber (bounces), a feather (floats down slowly), a body that
  -- casts shadows, a light, and a static and a kinematic body.
  keep(game.body{x = -150, y = 190, w = 30, h = 20, friction = 0, sheet = WOOD})
  keep(game.body{shape = "circle", r = 12, x = -100, y = 0, restitution = 0.9, sheet = WOOD})
  keep(game.body{x = -60, y = 0, w = 20, h = 20, gravity_scale = 0.1, linear_damping = 1, sheet = WOOD})
  keep(game.body{x = -15, y = 170, w = 30, h = 60, shadow = true, sheet = WOOD})
  keep(game.body{shape = "circle", r = 10, x = 30, y = 180, light = true, sheet = WOOD})
  keep(game.body{x = 80, y = 120, w = 50, h = 10, type = "static", sheet = WOOD})
  local lift = keep(game.body{x = 150, y = 120, w = 50, h = 10, type = "kinematic", one_way = true, sheet = WOOD})
  lift:set_velocity(0, -10)
  -- A sensor shows nothing and stops nothing; on_touch hears it.
  keep(game.body{x = 220, y = 180, w = 50, h = 40, type = "static", sensor = true})

  -- Joints, each on its own post: a hinge, a spring, a rope, a slider, a weld, a wheel, a pulley
  -- and a gear of two hinges.
  local arm = keep(game.body{x = -420, y = -60, w = 80, h = 8, sheet = WOOD})
  keep(game.hinge{a = nil, b = arm, x = -420, y = -60, motor_speed = 45, max_torque = 500})

  local bob = keep(game.body{shape = "circle", r = 10, x = -310, y = 0, sheet = WOOD})
  keep(game.spring{a = nil, b = bob, ax = -310, ay = -150, length = 120, frequency = 2, damping = 0.1})

  local weight = keep(game.body{x = -240, y = -10, w = 20, h = 20, sheet = WOOD})
  keep(game.rope{a = nil, b = weight, ax = -260, ay = -150})

  local sled = keep(game.body{x = -150, y = -60, w = 30, h = 14, sheet = WOOD})
  keep(game.slider{a = nil, b = sled, x = -150, y = -60, axis_x = 1, axis_y = 0.5, lower = -40, upper = 40,
                   motor_speed = 30, max_force = 500})

  local left = keep(game.body{x = -50, y = -60, w = 30, h = 10, sheet = WOOD})
  local right = keep(game.body{x = -20, y = -60, w = 30, h = 10, sheet = WOOD})
  keep(game.weld{a = left, b = right, x = -35, y = -60})
  keep(game.rope{a = nil, b = left, ax = -50, ay = -150})

  local cart = keep(game.body{x = 400, y = 150, w = 50, h = 12, sheet = WOOD})
  local tyre = keep(game.body{shape = "circle", r = 12, x = 400, y = 175, sheet = WOOD})
  keep(game.wheel{a = cart, b = tyre, x = 400, y = 175, axis_x = 0, axis_y = 1, frequency = 4, damping = 0.7})

  local pan1 = keep(game.body{x = 60, y = 0, w = 30, h = 8, sheet = WOOD})
  local pan2 = keep(game.body{x = 120, y = 0, w = 30, h = 8, sheet = WOOD, density = 1.2})
  keep(game.pulley{a = pan1, b = pan2, ax = 60, ay = 0, bx = 120, by = 0,
                   gax = 60, gay = -120, gbx = 120, gby = -120, ratio = 1})

  local cog1 = keep(game.body{shape = "circle", r = 16, x = 250, y = -40, sheet = WOOD})
  local cog2 = keep(game.body{shape = "circle", r = 8, x = 290, y = -40, sheet = WOOD})
  local axle1 = keep(game.hinge{a = nil, b = cog1, x = 250, y = -40, motor_speed = 60, max_torque = 1000})
  local axle2 = keep(game.hinge{a = nil, b = cog2, x = 290, y = -40})
  keep(game.gear{j1 = axle1, j2 = axle2, ratio = 2})

  game.lamp(0, -100, 1)
  game.say("x: shove everything")
  game.after(3, function()
    local standing = 0
    for _, h in ipairs(all) do if h:alive() then standing = standing + 1 end end
    print(string.format("gallery: %d of %d pieces standing", standing, #all))
  end)
end

function on_key(key)
  if key ~= "x" then return end
  for _, h in ipairs(all) do
    if h.kind == "body" then h:push(0, -200) end
  end
end
