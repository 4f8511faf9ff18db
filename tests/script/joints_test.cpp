// joints_test.cpp: joints made by a level script, driven through the logic step.
#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "actors/joints.h"
#include "game/game.h"
#include "game/map_loading.h"
#include "game/state_hash.h"
#include "map/map_file.h"
#include "physics/physics_world.h"
#include "render/shape_queue.h"
#include "support/gl_window.h"
#include "script_support.h"

namespace {
using JointTest = ScriptedGame;

// A plank pinned to the world at its left end, a crate on a rope and one on a spring.
const char* const kRig =
    "plank = game.body{x = 300, y = 100, w = 80, h = 10}\n"
    "pin = game.hinge{b = plank, x = 260, y = 100}\n"
    "crate = game.body{x = 500, y = 120, w = 20, h = 20}\n"
    "tether = game.rope{b = crate, ax = 500, ay = 100, length = 60}\n"
    "bob = game.body{x = 700, y = 150, w = 20, h = 20}\n"
    "coil = game.spring{b = bob, ax = 700, ay = 100, length = 50, visible = false}\n"
    "function distance(b, x, y) local bx, by = b:position(); return math.sqrt((bx - x)^2 + (by - y)^2) end\n";
}  // namespace

TEST_F(JointTest, HingeRopeAndSpringHoldTheirBodiesAndReportTheLoad) {
    start(std::string(kRig) +
          "function on_step()\n"
          "  if game.time() == 3 then\n"
          "    local fx, fy, torque = pin:reaction()\n"
          "    print('pin', math.abs(distance(plank, 260, 100) - 40) < 2, fy < 0, math.abs(pin:angle()) > 10)\n"
          "    print('rope', distance(crate, 500, 100) <= 61, distance(crate, 500, 100) > 55)\n"
          "    print('spring', distance(bob, 700, 100) > 50)\n"
          "  end\n"
          "end\n");
    EXPECT_EQ(liveJointCount(), 3);
    const std::string out = steps(301);
    EXPECT_NE(out.find("pin\ttrue\ttrue\ttrue\n"), std::string::npos) << out;
    EXPECT_NE(out.find("rope\ttrue\ttrue\n"), std::string::npos) << out;
    EXPECT_NE(out.find("spring\ttrue\n"), std::string::npos) << out;

    emptyLineQueue();
    drawJoints();
    // The pin's ring and the rope's line; the hidden spring draws nothing.
    EXPECT_EQ(queuedLines().size(), 9u);
}

TEST_F(JointTest, StartOutputNamesKindsAndHandlesCompare) {
    const std::string out = start(std::string(kRig) +
                                  "print(pin.kind, tether.kind, coil.kind, tostring(pin), pin == pin, pin == tether)\n");
    EXPECT_EQ(out, "hinge\trope\tspring\thinge #0\ttrue\tfalse\n");
}

TEST_F(JointTest, AJointDiesWithItsBodyAndAGearGoesBeforeItsJoint) {
    start(std::string(kRig) +
          "w1 = game.body{x = 100, y = 300, w = 20, h = 20}\n"
          "w2 = game.body{x = 160, y = 300, w = 20, h = 20}\n"
          "h1 = game.hinge{b = w1}\n"
          "h2 = game.hinge{b = w2}\n"
          "g = game.gear{j1 = h1, j2 = h2, ratio = 2}\n"
          "function on_step()\n"
          "  if game.time() == 0.1 then crate:remove(); h1:remove() end\n"
          "  if game.time() == 0.2 then\n"
          "    print(tether:alive(), g:alive(), h1:alive(), h2:alive(), pin:alive())\n"
          "    print(pcall(tether.reaction, tether))\n"
          "    h1:remove()\n"  // again: nothing
          "  end\n"
          "end\n");
    EXPECT_EQ(liveJointCount(), 6);
    const std::string out = steps(25);
    EXPECT_NE(out.find("false\tfalse\tfalse\ttrue\ttrue\nfalse\tthe rope #1 was removed\n"), std::string::npos)
        << out;
    EXPECT_EQ(liveJointCount(), 3);  // pin, spring, h2
}

// Every bad call is an error that says what is wrong, and makes nothing.
TEST_F(JointTest, BadCallsAreErrorsNamingTheProblem) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"game.hinge{a = p, b = p}", "a joint of a body to itself"},
        {"game.hinge{b = p, colour = 1}", "unknown field 'colour'"},
        {"game.hinge{b = p, x = 0/0, y = 0}", "field 'x' must be a finite number"},
        {"game.hinge{b = p, x = 1/0, y = 0}", "field 'x' must be a finite number"},
        {"game.hinge{b = p, x = 5}", "fields 'x' and 'y' go together"},
        {"game.hinge{b = p, lower = -10}", "fields 'lower' and 'upper' go together"},
        {"game.hinge{b = p, lower = 10, upper = -10}", "'lower' must not be above 'upper'"},
        {"game.hinge{b = p, motor_speed = 90, max_torque = -1}", "field 'max_torque'"},
        {"game.hinge{a = s}", "one must be a dynamic body"},
        {"game.hinge{}", "one must be a dynamic body"},
        {"game.hinge{b = 5}", "a body handle expected"},
        {"game.hinge(p)", "table expected"},
        {"game.spring{a = p}", "fields 'bx' and 'by' are needed when b is the world"},
        {"game.spring{b = p, ax = 0, ay = 0, frequency = 0/0}", "field 'frequency'"},
        {"game.spring{b = p, ax = 0, ay = 0, damping = -1}", "field 'damping'"},
        {"game.spring{b = p, ax = 0, ay = 0, length = 10, min = 20}", "'length' must lie from 'min' to 'max'"},
        {"game.rope{b = p, ax = 0, ay = 0, length = -1}", "field 'length'"},
        {"game.slider{b = p, axis_x = 0, axis_y = 0}", "axis_x and axis_y must not both be 0"},
        {"game.pulley{a = p, b = q, gax = 0, gay = 0, gbx = 10}", "field 'gby' is needed"},
        {"game.pulley{a = p, b = q, gax = 0, gay = 0, gbx = 10, gby = 0, ratio = 0}", "field 'ratio'"},
        {"game.gear{j1 = free, j2 = h}", "field 'j1' must be fixed to the world"},
        {"game.gear{j1 = h, j2 = h}", "a joint of a body to itself"},
        {"game.gear{j1 = h, j2 = r}", "field 'j2' must be a hinge or slider, not a rope"},
        {"game.gear{j1 = h, j2 = p}", "field 'j2' must be a hinge or slider handle"},
        {"r:motor(10)", "the rope #2 has no motor"},
        {"r:limits(false)", "the rope #2 has no limits"},
        {"h:translation()", "the hinge #1 has no translation"},
        {"r:angle()", "the rope #2 has no angle"},
        {"h:motor(0/0)", "the motor's speed must be a finite number"},
        {"h:limits(5, -5)", "the lower limit must not be above the upper"},
        {"h.alive(p)", "joint expected"},
    };
    std::string script =
        "p = game.body{x = 100, y = 100}\n"
        "q = game.body{x = 200, y = 100}\n"
        "s = game.body{x = 300, y = 100, dynamic = false}\n"
        "free = game.hinge{a = p, b = q, x = 150, y = 100}\n"
        "h = game.hinge{b = p}\n"
        "r = game.rope{a = p, b = q}\n";
    for (const auto& c : cases) script += "print(select(2, pcall(function() " + c.first + " end)))\n";
    script += "print(#'end', tostring(r), free:alive())\n";
    const std::string out = start(script);
    size_t at = 0;
    for (const auto& c : cases) {
        const size_t line = out.find('\n', at);
        ASSERT_NE(line, std::string::npos) << out;
        EXPECT_NE(out.substr(at, line - at).find(c.second), std::string::npos) << c.first << "\n" << out.substr(at, line - at);
        at = line + 1;
    }
    EXPECT_EQ(out.substr(at), "3\trope #2\ttrue\n");
    EXPECT_EQ(liveJointCount(), 3);
}

TEST_F(JointTest, AtMostTenThousandJointsLive) {
    const std::string out = start(
        "p = game.body{x = 100, y = 100}\n"
        "for i = 1, 10000 do game.hinge{b = p} end\n"
        "print(pcall(game.hinge, {b = p}))\n");
    EXPECT_NE(out.find("false\tgame.hinge: too many joints (10000): remove some first\n"), std::string::npos) << out;
    EXPECT_EQ(liveJointCount(), kMaxJoints);
}

TEST_F(JointTest, MotorsAndLimitsDriveTheirJoints) {
    start("wheel = game.body{x = 300, y = 100, w = 40, h = 40}\n"
          "axle = game.hinge{b = wheel, motor_speed = 90, max_torque = 1e9}\n"
          "cart = game.body{x = 500, y = 100, w = 40, h = 20}\n"
          "rail = game.slider{b = cart, lower = 0, upper = 30, motor_speed = 100, max_force = 1e9}\n"
          "function on_step()\n"
          "  if game.time() == 1 then\n"
          "    print('driven', math.abs(axle:angle() - 90) < 2, math.abs(rail:translation() - 30) < 1)\n"
          "    axle:motor(false); axle:limits(-5, 5); rail:motor(-100)\n"
          "  end\n"
          "  if game.time() == 2 then\n"
          // Box2D lets a limit be passed by its 2 degree slop.
          "    print('held', math.abs(axle:angle()) <= 7.5, math.abs(rail:translation()) < 1)\n"
          "  end\n"
          "end\n");
    const std::string out = steps(201);
    EXPECT_NE(out.find("driven\ttrue\ttrue\nheld\ttrue\ttrue\n"), std::string::npos) << out;
}

TEST_F(JointTest, JointsSurviveAMapReloadWithTheirIdsAndState) {
    start(std::string(kRig) +
          "w1 = game.body{x = 100, y = 300, w = 20, h = 20}\n"
          "w2 = game.body{x = 160, y = 300, w = 20, h = 20}\n"
          "h1 = game.hinge{b = w1, motor_speed = 45, max_torque = 1e9}\n"
          "h2 = game.hinge{b = w2}\n"
          "g = game.gear{j1 = h1, j2 = h2}\n"
          "c1 = game.body{x = 300, y = 400, w = 20, h = 20}\n"
          "c2 = game.body{x = 360, y = 400, w = 20, h = 20}\n"
          "game.slider{b = c1, lower = -20, upper = 20, motor_speed = 10}\n"
          "game.weld{a = c1, b = c2, frequency = 3, damping = 0.2}\n"
          "game.wheel{a = c1, b = game.body{x = 300, y = 430, w = 10, h = 10}, motor_speed = 30}\n"
          "game.pulley{a = crate, b = c2, gax = 500, gay = 20, gbx = 360, gby = 20, ratio = 1.5}\n"
          "function on_step()\n"
          "  if game.time() == 3 then\n"
          "    print(pin:alive(), tether:alive(), coil:alive(), g:alive(), tostring(g))\n"
          "    print('pin', math.abs(distance(plank, 260, 100) - 40) < 2)\n"
          "    print('rope', distance(crate, 500, 100) <= 61)\n"
          "    print('gear', math.abs(h1:angle() + h2:angle()) < 2, h1:angle() > 90)\n"
          "  end\n"
          "end\n");
    steps(50);
    bool saved = false;
    std::string why;
    captureStdout([&] { saved = saveMap(why); });
    ASSERT_TRUE(saved) << why;
    const uint32_t before = worldSerial();
    StateHasher carried, rebuilt;
    hashJoints(carried);
    captureStdout(loadMap);
    ASSERT_NE(worldSerial(), before);  // a new world: the bodies moved
    hashJoints(rebuilt);
    EXPECT_EQ(rebuilt.value(), carried.value());  // anchors, reference angles, motors, limits
    EXPECT_EQ(liveJointCount(), 10);
    const std::string out = steps(251);
    EXPECT_NE(out.find("true\ttrue\ttrue\ttrue\tgear #5\npin\ttrue\nrope\ttrue\ngear\ttrue\ttrue\n"), std::string::npos)
        << out;
    EXPECT_EQ(getWorld()->GetJointCount(), 10);
}

TEST_F(JointTest, TheSameScriptGivesTheSameStateHashAndNoJointsAddNothing) {
    StateHasher empty;
    hashJoints(empty);
    EXPECT_EQ(empty.value(), StateHasher().value());

    const std::string script = std::string(kRig) +
                               "function on_step() if game.time() == 1 then tether:remove() end end\n";
    start(script);
    steps(200);
    const uint64_t first = stateHash();
    captureStdout([] { shutdownGame(false); });
    start(script);
    const uint64_t fresh = stateHash();
    steps(200);
    EXPECT_EQ(stateHash(), first);
    EXPECT_NE(fresh, first);
}
