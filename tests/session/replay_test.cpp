// The logic without a window: scripted and random input, checked for determinism and for a
// physics world that never holds a foreign or leaked body.
#include <gtest/gtest.h>
#include <box2d/box2d.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "actors/actor.h"
#include "actors/box.h"
#include "actors/car.h"
#include "game/grab.h"
#include "session/headless.h"
#include "map/map_quad.h"
#include "physics/physics_world.h"
#include "physics/static_shapes.h"

namespace fs = std::filesystem;

namespace {

// What is wrong with the grabs, "" when they are sound.
std::string grabFault() {
    std::string why;
    grabsSound(why);
    return why;
}
class Headless : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kelvoran-replay-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(fs::path(KELVORAN_ASSETS) / "map.txt", dir / "map.txt");
        previous = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    fs::path dir, previous;
};

b2Body* bodyOf(Actor* actor) {
    if (auto* box = dynamic_cast<Box*>(actor)) return box->body;
    if (auto* car = dynamic_cast<Car*>(actor)) return car->body;
    return nullptr;
}

std::string runReplayTool(const fs::path& script) {
    std::string output;
    FILE* pipe = popen((std::string(KELVORAN_REPLAY) + " " + script.string() + " 6000").c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
    return output;
}
}  // namespace

TEST_F(Headless, RandomInputNeverLeavesAForeignOrLeakedBodyInTheWorld) {
    std::mt19937 random(1234);
    const char keys[] = {'1', '3', '4', '5', '6', '7', '8', '9', 'z', 'p', 'w', 'a', 's', 'd', ' ',
                         '0', 'c'};
    std::vector<InputEvent> events;
    for (int32_t t = 50; t < 40000; t += 1 + static_cast<int32_t>(random() % 40)) {
        InputEvent event;
        event.time = t;
        switch (random() % 6) {
            case 0:
            case 1:
                event.kind = InputEvent::Kind::Move;
                event.a = static_cast<int32_t>(random() % 1100) - 40;
                event.b = static_cast<int32_t>(random() % 680) - 40;
                break;
            case 2:
            case 3:  // the left button edits, the right one grabs and throws
                event.kind = random() % 2 == 0 ? InputEvent::Kind::ButtonDown : InputEvent::Kind::ButtonUp;
                event.a = random() % 2 == 0 ? 0 : 2;
                break;
            default:
                event.kind = (random() % 3 == 0) ? InputEvent::Kind::KeyUp : InputEvent::Kind::KeyDown;
                event.a = keys[random() % sizeof keys];
                // Few cars: each prints a line per step.
                if (event.a == '1' && random() % 8 != 0) event.a = '3';
        }
        events.push_back(event);
    }
    testing::internal::CaptureStdout();
    startHeadless();
    const bool ranToTheEnd = replay(events, 40000);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(ranToTheEnd);

    b2World* world = getWorld();
    int expectedBodies = 1;  // the ground
    for (const auto& actor : allActors()) {
        if (b2Body* body = bodyOf(actor.get())) {
            EXPECT_EQ(body->GetWorld(), world);
            ++expectedBodies;
        }
    }
    for (int32_t i = 0; i < getQuadCount(); ++i) {
        if (const b2Fixture* fixture = getQuad(i).fixture) {
            EXPECT_EQ(fixture->GetBody()->GetWorld(), world);
        }
    }
    for (const b2Body* body : staticShapeBodies()) {
        EXPECT_EQ(body->GetWorld(), world);
        ++expectedBodies;
    }
    EXPECT_EQ(world->GetBodyCount(), expectedBodies);
    EXPECT_EQ(world->GetJointCount(), grabHeld() ? 1 : 0);
    EXPECT_EQ(grabFault(), "");
    EXPECT_GT(getQuadCount(), 0);
}

TEST_F(Headless, TheSameScriptGivesTheSameConsoleTrace) {
    {
        std::ofstream script(dir / "script.txt");
        script << "100 move 600 120\n200 key 32\n2500 keyup 32\n2600 key 49\n2700 key 100\n"
                  "3500 keyup 100\n3600 key 122\n4000 key 55\n4100 key 119\n5900 keyup 119\n";
    }
    const std::string first = runReplayTool(dir / "script.txt");
    const std::string second = runReplayTool(dir / "script.txt");
    // Box and car lines print their addresses; everything else must repeat exactly.
    const std::regex address("0x[0-9a-f]+");
    const std::string a = std::regex_replace(first, address, "ADDR");
    const std::string b = std::regex_replace(second, address, "ADDR");
    EXPECT_EQ(a, b);
    EXPECT_NE(a.find("  Box - POS:88/-180/ - ADDR / ADDR\n"), std::string::npos) << a.substr(0, 3000);
    EXPECT_NE(a.find("  Car - POS:10/20/ - ADDR / ADDR\n0 / 0 / 180 / 180\n"), std::string::npos);
    // Key 7 reloads the map in the middle of the run; the car keeps printing afterwards.
    const size_t reload = a.find("Loading map.txt", a.find("  Car - POS"));
    ASSERT_NE(reload, std::string::npos);
    EXPECT_NE(a.find(" / ", a.find("End of loading", reload)), std::string::npos);
}
