local ball = game.body{shape = "circle", r = 10, x = 0, y = -100, restitution = 0.8, bullet = true}
local wedge = game.body{shape = "polygon", points = {-20, 10, 20, 10, 0, -15}, x = 60, y = 0, density = 3}
local plate = game.body{x = 0, y = 150, w = 80, h = 8, type = "static", sensor = true}
local lift = game.body{x = 200, y = 100, w = 60, h = 8, type = "kinematic", one_way = true}
local ghost = game.body{x = -80, y = 0, category = 2, mask = {1, 3}, group = -1, fixed_rotation = true}
local hill = game.chain{points = {-300, 200, -100, 150, 100, 200}, shadow = true}
local pin = game.hinge{a = nil, b = wedge, x = 60, y = 0, motor_speed = 90, max_torque = 100}
local rope = game.rope{a = ball, b = ghost}
local spring = game.spring{a = wedge, b = ball, frequency = 3, damping = 0.2}
local slide = game.slider{b = ghost, x = -80, y = 0, axis_x = 1, axis_y = 0, lower = -50, upper = 50}
local weld = game.weld{a = wedge, b = ghost, x = 0, y = 0}
lift:set_velocity(0, -20)
game.gravity(0, 900)
function on_touch(a, b, info) if info.impulse > 1 then game.burst(info.x, info.y) end end
function on_untouch(a, b) tostring(a) end
function on_step()
  ball:force(10, 0); wedge:torque(5); ghost:impulse(1, 0, -80, 0); wedge:spin(30)
  ghost:set{friction = 0, restitution = 0.5, sensor = false}
  local hit = game.raycast(-400, -400, 400, 400)
  for _, h in ipairs(game.raycast_all(-400, 0, 400, 0)) do tostring(h.party) end
  for _, p in ipairs(game.query(-100, -100, 100, 100)) do tostring(p) end
  game.at(0, 150)
  if pin:alive() then pin:motor(-90, 50); pin:limits(-30, 30); pin:reaction(); pin:angle() end
  if slide:alive() then slide:translation(); slide:limits(false) end
  ball:mass(); ball:angular_velocity(); ball:wake()
end
function on_key(k) ball:remove(); weld:remove() end
function on_click(x, y) ghost:move(x, y) end
