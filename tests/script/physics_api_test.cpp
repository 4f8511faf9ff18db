// physics_api_test.cpp: shapes, materials, sensors, filters, one-way platforms, touches with their
// info, queries and gravity, driven through the logic step.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "game/game.h"
#include "game/input.h"
#include "game/state_hash.h"
#include "script/scripting.h"
#include "script_support.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

namespace {
using PhysicsApiTest = ScriptedGame;

// One world of every kind of body; after 1.5 s it prints what a player would check by eye.
const char* const kWorld =
    "game.body{shape = 'polygon', points = {-400, 100, 400, 300, -400, 300}, type = 'static'}\n"
    "ball = game.body{shape = 'circle', r = 12, x = -300, y = 100}\n"
    "block = game.body{w = 24, h = 24, x = -200, y = 110, angle = 14}\n"
    "ice = game.body{w = 20, h = 20, x = 900, y = 720, friction = 0}\n"
    "ice:set_velocity(200, 0)\n"
    "kin = game.body{w = 100, h = 10, x = 1500, y = 400, type = 'kinematic'}\n"
    "rider = game.box(1500, 370)\n"
    "kin:set_velocity(50, 0)\n"
    "plate = game.body{x = 2000, y = 600, w = 100, h = 20, type = 'static', sensor = true}\n"
    "ledge = game.body{x = 2500, y = 500, w = 200, h = 10, type = 'static', one_way = true}\n"
    "jumper = game.body{x = 2500, y = 700, w = 20, h = 20}\n"
    "jumper:set_velocity(0, -900)\n"
    "ghost = game.body{x = 3000, y = 500, w = 20, h = 20, category = 2, mask = {1}}\n"
    "floor = game.body{x = 3000, y = 600, w = 200, h = 10, type = 'static', category = 3, mask = {1}}\n"
    "function on_touch(a, b, i)\n"
    "  if a == plate then print('plate', b.kind, i.speed > 0) end\n"
    "  if a == ledge and b == jumper and i.ny < 0 then print('landed', i.impulse > 0, i.speed > 0) end\n"
    "end\n"
    "function on_untouch(a, b) if a == plate then print('left', b.kind) end end\n"
    "game.after(0.2, function() game.box(2000, 450) end)\n"
    "function on_step() if game.time() == 1.5 then\n"
    "  local bx = ball:position(); local kx = block:position()\n"
    "  print('ball rolls', bx > -250, kx < -190)\n"
    "  print('ice slides', ice:position() > 1150)\n"
    "  local x = kin:position(); local rx, ry = rider:position()\n"
    "  print('carried', x > 1570, rx > 1550, ry < 400)\n"
    "  local _, jy = jumper:position(); print('on the ledge', jy < 495)\n"
    "  local _, gy = ghost:position(); print('passed the floor', gy > 600)\n"
    "end end\n";
}  // namespace

// What the script printed, without the spawn lines of crates (they hold addresses).
std::string scriptLines(const std::string& out) {
    std::string kept;
    size_t at = 0;
    while (at < out.size()) {
        const size_t end = out.find('\n', at);
        const std::string line = out.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
        if (line.rfind("  Box - POS:", 0) != 0) kept += line;
        at = end == std::string::npos ? out.size() : end + 1;
    }
    return kept;
}

TEST_F(PhysicsApiTest, BodiesMoveAsTheirShapesMaterialsAndFiltersSay) {
    testing::internal::CaptureStderr();
    std::string out = start(kWorld);
    out += steps(160);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(scriptLines(out),
              "plate\tbox\ttrue\n"
              "left\tbox\n"
              "landed\ttrue\ttrue\n"
              "ball rolls\ttrue\ttrue\n"
              "ice slides\ttrue\n"
              "carried\ttrue\ttrue\ttrue\n"
              "on the ledge\ttrue\n"
              "passed the floor\ttrue\n");
}

TEST_F(PhysicsApiTest, TheSameWorldHashesAlikeAndGravityJoinsTheHash) {
    start(kWorld);
    steps(120);
    const uint64_t first = stateHash();
    captureStdout([] { shutdownGame(false); });
    start(kWorld);
    steps(120);
    EXPECT_EQ(stateHash(), first);
    captureStdout([] { shutdownGame(false); });

    // A level's gravity holds until a restart brings back the written one.
    start("function on_start() print(game.gravity()) end\n"
          "function on_key(k) game.gravity(-20, 300); print(game.gravity()) end\n");
    const std::string out = captureStdout([] {
        onKeyDown('x', 0, 0);
        onKeyUp('x', 0, 0);
    });
    EXPECT_EQ(out, "-20.0\t300.0\n");
    const std::string restarted = captureStdout([] {
        onKeyDown('r', 0, 0);
        onKeyUp('r', 0, 0);
    }) + steps(1);
    EXPECT_NE(restarted.find("0.0\t1100.0\n"), std::string::npos) << restarted;
}

struct BadCall {
    const char* script;
    const char* error;  // what the error line says after "map.lua:1: "
};

class BadCallTest : public ScriptedGame, public testing::WithParamInterface<BadCall> {};

TEST_P(BadCallTest, IsAnErrorThatNamesWhatIsWrong) {
    testing::internal::CaptureStderr();
    start(GetParam().script);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("map.lua:1: ") + GetParam().error + "\n");
    EXPECT_TRUE(scriptStopped());
}

INSTANTIATE_TEST_SUITE_P(
    Physics, BadCallTest,
    testing::Values(
        BadCall{"game.body{dinamic = false}",
                "game.body: unknown field 'dinamic' (the fields are x, y, w, h, r, shape, points, type, dynamic, "
                "angle, frame, sheet, light, shadow, density, friction, restitution, linear_damping, "
                "angular_damping, gravity_scale, fixed_rotation, bullet, sensor, category, mask, group, one_way, frames)"},
        BadCall{"game.body{w = 0/0}", "game.body: field 'w' must be a finite number from 0.1 to 10000"},
        BadCall{"game.body{h = 0.05}", "game.body: field 'h' must be a finite number from 0.1 to 10000"},
        BadCall{"game.body{density = -1}", "game.body: field 'density' must be a finite number from 0 to 100000"},
        BadCall{"game.body{shape = 'circle', r = 1/0}", "game.body: field 'r' must be a finite number from 0.1 to 10000"},
        BadCall{"game.body{shape = 'ball'}", "game.body: field 'shape' must be \"box\", \"circle\" or \"polygon\""},
        BadCall{"game.body{shape = 'polygon', points = {0, 0, 10, 0, 10, 10, 5, 2, 0, 10}}", "game.body: not convex"},
        BadCall{"game.body{shape = 'polygon', points = {0, 0, 10, 10, 0, 10, 10, 0}}", "game.body: not convex"},
        BadCall{"game.body{shape = 'polygon', points = {0,0, 1,0, 2,0.1, 3,0.3, 4,0.6, 5,1, 6,1.5, 7,2.1, 8,2.8}}",
                "game.body: too many points (at most 8)"},
        BadCall{"game.body{shape = 'polygon', points = {0, 0, 0.1, 0, 0, 0.1}}",
                "game.body: too small: two points closer than 0.2 units"},
        BadCall{"game.body{shape = 'circle', w = 3}", "game.body: w and h are a box's; a circle has r"},
        BadCall{"game.body{one_way = true}", "game.body: one_way needs a static or kinematic body"},
        BadCall{"game.body{category = 17}", "game.body: field 'category' must be a finite number from 1 to 16"},
        BadCall{"game.body{type = 'floating'}",
                "game.body: field 'type' must be \"dynamic\", \"static\" or \"kinematic\""},
        BadCall{"game.body{friction = '0.5'}", "game.body: field 'friction' must be a number, not a string"},
        BadCall{"game.body{}:set{shape = 'circle'}",
                "set: unknown field 'shape' (the fields are density, friction, restitution, linear_damping, "
                "angular_damping, gravity_scale, fixed_rotation, bullet, sensor, category, mask, group, one_way)"},
        BadCall{"game.chain{points = {0, 0}}", "game.chain: a chain needs at least 2 points"},
        BadCall{"game.lamp(0, 0):spin(3)", "spin: the lamp #0 has no body"}));

TEST_F(PhysicsApiTest, QueriesNameActorsByCreationThenQuadsByNumber) {
    fs::copy_file(fs::path(KELVORAN_SOURCE_DIR) / "levels/switch/map.txt", "map.txt");
    const std::string out = start(
        "local n = game.quads(); local x1, y1, x2, y2, x3, y3 = game.quad(n)\n"
        "local cx, cy = (x1 + x3) / 2, (y1 + y3) / 2\n"
        "b = game.body{x = cx + 1, y = cy, w = 4, h = 4, type = 'static'}\n"
        "a = game.body{x = cx, y = cy, w = 4, h = 4, type = 'static'}\n"
        "local inside = game.at(cx, cy)\n"
        "print(#inside, inside[1] == b, inside[2] == a, inside[#inside] == n)\n"
        "local q = game.query(cx - 1, cy - 1, cx + 1, cy + 1)\n"
        "print(q[1] == b, q[2] == a, math.type(q[3]))\n"
        "local hit, hx, hy, nx, ny, f = game.raycast(cx, cy - 2000, cx, cy + 2000)\n"
        "print(math.type(hit), ny, f > 0 and f < 1)\n"
        "local all = game.raycast_all(cx, cy - 2000, cx, cy + 2000)\n"
        "local sorted = true\n"
        "for i = 2, #all do sorted = sorted and all[i - 1].fraction <= all[i].fraction end\n"
        "print(#all >= 3, sorted)\n");
    EXPECT_EQ(out.substr(out.find("End of loading\n") + 15), "3\ttrue\ttrue\ttrue\ntrue\ttrue\tinteger\ninteger\t-1.0\ttrue\ntrue\ttrue\n");
}
