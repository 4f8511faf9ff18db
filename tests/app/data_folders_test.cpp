// Where the game reads and writes, and its own options, without a window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/data_folders.h"
#include "session/recording_format.h"
#include "core/data_search.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

namespace {
void touch(const fs::path& path, const std::string& content = "x") {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class FolderChoice : public testing::Test {
protected:
    void SetUp() override {
        root = enterTempFolder("kelvoran-folders");
        shipped = root + "/share/kelvoran";
        for (const SheetSpec& sheet : startupSheets) touch(fs::path(shipped) / sheet.fileName, sheet.fileName);
        touch(fs::path(shipped) / "map.txt", "starter");
        facts = {root + "/work", "", root + "/data/kelvoran", shipped};
        fs::create_directories(facts.working);
    }
    void TearDown() override {
        setDataFolders({});
        leaveTempFolder(root);
    }
    std::string root, shipped;
    FolderFacts facts;
};
}  // namespace

TEST_F(FolderChoice, AFolderHoldingAnyGameFileIsPlayedInAsItIsAndAnyOtherUsesTheUserFolder) {
    std::vector<std::string> names = {"map.txt"};
    for (const SheetSpec& sheet : startupSheets) names.push_back(sheet.fileName);
    for (const std::string& name : names) {
        fs::remove_all(facts.working);
        touch(fs::path(facts.working) / name);
        const DataFolders chosen = chooseDataFolders(facts);
        EXPECT_EQ(chosen.play, facts.working) << name;
        EXPECT_TRUE(chosen.sheets.empty()) << name;
        EXPECT_TRUE(chosen.starterMap.empty()) << name;
        EXPECT_FALSE(chosen.createPlay) << name;
    }
    fs::remove_all(facts.working);
    touch(fs::path(facts.working) / "notes.txt");  // other files do not make a game folder
    const DataFolders elsewhere = chooseDataFolders(facts);
    EXPECT_EQ(elsewhere.play, facts.userData);
    EXPECT_EQ(elsewhere.sheets, std::vector<std::string>{shipped});
    EXPECT_EQ(elsewhere.starterMap, shipped + "/map.txt");
    EXPECT_TRUE(elsewhere.createPlay);

    facts.level = root + "/level";  // a level wins even over a game folder, and over the sheets
    touch(fs::path(facts.working) / "map.txt");
    const DataFolders level = chooseDataFolders(facts);
    EXPECT_EQ(level.play, facts.level);
    EXPECT_EQ(level.sheets, (std::vector<std::string>{facts.level, shipped}));
    EXPECT_TRUE(level.starterMap.empty());

    facts = {root + "/empty", "", root + "/data/kelvoran", ""};  // nothing shipped found
    EXPECT_EQ(chooseDataFolders(facts).sheets, std::vector<std::string>{facts.userData});
}

TEST_F(FolderChoice, UserFolderFollowsXdgDataHomeOnlyWhenAbsolute) {
    EXPECT_EQ(userDataFolder("/x/data", "/home/p"), "/x/data/kelvoran");
    EXPECT_EQ(userDataFolder("/x/data/", "/home/p"), "/x/data/kelvoran");
    EXPECT_EQ(userDataFolder("relative/data", "/home/p"), "/home/p/.local/share/kelvoran");
    EXPECT_EQ(userDataFolder("", "/home/p"), "/home/p/.local/share/kelvoran");
    EXPECT_EQ(userDataFolder(nullptr, "/home/p"), "/home/p/.local/share/kelvoran");
    EXPECT_EQ(userDataFolder(nullptr, nullptr), "/.local/share/kelvoran");
}

TEST_F(FolderChoice, ShippedDataIsTheFirstCandidateHoldingTheSheets) {
    fs::create_directories(root + "/bin");
    EXPECT_EQ(findShippedData({root + "/nothing", "", root + "/bin/../share/kelvoran", root}), shipped);
    EXPECT_EQ(findShippedData({root + "/nothing", root + "/work"}), "");
    // Beside bin/ comes first for any executable folder: a moved prefix finds its own data.
    EXPECT_EQ(shippedDataCandidates(root + "/bin").front(), shipped);
}

TEST_F(FolderChoice, EnteringMakesTheUserFolderCopiesTheStarterOnceAndSearchesTheSheets) {
    EXPECT_EQ(findDataFile("Car.png"), "Car.png");  // no folders: the bare name, as always
    const DataFolders chosen = chooseDataFolders(facts);
    std::ostringstream err;
    ASSERT_TRUE(enterDataFolders(chosen, err)) << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(fs::current_path().string(), facts.userData);
    EXPECT_EQ(slurp("map.txt"), "starter");
    EXPECT_EQ(findDataFile("Car.png"), shipped + "/Car.png");
    EXPECT_EQ(findDataFile("missing.png"), "");

    touch(fs::path(facts.userData) / "map.txt", "the player's");  // never overwritten
    ASSERT_TRUE(enterDataFolders(chosen, err));
    EXPECT_EQ(slurp(fs::path(facts.userData) / "map.txt"), "the player's");

    // A level's own sheet is read over the shipped one; the level gets no starter map.
    facts.level = root + "/level";
    touch(fs::path(facts.level) / "Car.png");
    ASSERT_TRUE(enterDataFolders(chooseDataFolders(facts), err));
    EXPECT_EQ(findDataFile("Car.png"), facts.level + "/Car.png");
    EXPECT_EQ(findDataFile("image.png"), shipped + "/image.png");
    EXPECT_FALSE(fs::exists(fs::path(facts.level) / "map.txt"));
}

TEST_F(FolderChoice, AnInstalledLevelIsCopiedOnceIntoTheUsersDataAndPlayedThere) {
    facts.level = shipped + "/levels/flag";
    touch(fs::path(facts.level) / "map.txt", "shipped map");
    touch(fs::path(facts.level) / "map.lua", "print('hi')");
    fs::permissions(facts.level, fs::perms::owner_read | fs::perms::owner_exec);
    facts.levelReadOnly = true;
    const DataFolders chosen = chooseDataFolders(facts);
    const std::string copy = facts.userData + "/levels/flag";
    EXPECT_EQ(chosen.play, copy);
    std::ostringstream err;
    ASSERT_TRUE(enterDataFolders(chosen, err)) << err.str();
    EXPECT_EQ(fs::current_path().string(), copy);
    EXPECT_EQ(slurp("map.lua"), "print('hi')");
    touch(fs::path(copy) / "map.txt", "saved by the player");  // the copy is the player's
    ASSERT_TRUE(enterDataFolders(chosen, err));
    EXPECT_EQ(slurp("map.txt"), "saved by the player");
    EXPECT_EQ(slurp(fs::path(facts.level) / "map.txt"), "shipped map");
    fs::permissions(facts.level, fs::perms::owner_all);
}

TEST_F(FolderChoice, NowhereToPlayIsOneLineAndFalse) {
    touch(root + "/file");
    facts.userData = root + "/file/kelvoran";  // under a regular file: cannot be made
    std::ostringstream err;
    EXPECT_FALSE(enterDataFolders(chooseDataFolders(facts), err));
    const std::string text = err.str();
    EXPECT_EQ(text.rfind("kelvoran: cannot use " + facts.userData + " for the map and recordings: ", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    facts = {root + "/work", root + "/no-such-level", root + "/data", shipped};
    err.str("");
    EXPECT_FALSE(enterDataFolders(chooseDataFolders(facts), err));
    EXPECT_FALSE(fs::exists(facts.level));  // a level folder is never made up
}

TEST(CommandLine, KnowsItsOptionsAndTheWindowSystemsAndCollectsTheRest) {
    const auto parse = [](std::vector<std::string> words) {
        words.insert(words.begin(), "kelvoran");
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(&word[0]);
        return parseCommandLine(static_cast<int>(argv.size()), argv.data());
    };
    const CommandLine plain = parse({"editor", "word"});
    EXPECT_FALSE(plain.help || plain.version);
    EXPECT_TRUE(plain.unknown.empty() && plain.level.empty() && plain.problem.empty());
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
    EXPECT_EQ(parse({"--level", "some dir", "editor"}).level, "some dir");
    EXPECT_EQ(parse({"--level=lv"}).level, "lv");
    EXPECT_EQ(parse({"--level"}).problem, "--level needs a folder");
    EXPECT_EQ(parse({"--level="}).problem, "--level needs a folder");
    const CommandLine mixed =
        parse({"-display", "-x", "--bogus", "-geometry", "10x10", "-iconic", "-q", "--level", "-d"});
    EXPECT_EQ(mixed.unknown, (std::vector<std::string>{"--bogus", "-q"}));
    EXPECT_EQ(mixed.level, "-d");
}

TEST(CommandLine, VersionNamesTheRecordingsBuildAndUsageNamesTheFolders) {
    std::ostringstream version;
    printVersion(version);
    EXPECT_EQ(version.str(), std::string("kelvoran 0.1\nbuild ") + recordingBuildId() + "\n");
    std::ostringstream usage;
    printUsage(usage, DataFolders{"/p/play", {"/p/level", "/p/share"}, "/p/share/map.txt", true});
    const std::string text = usage.str();
    EXPECT_EQ(text.rfind("Usage: kelvoran ", 0), 0u);
    EXPECT_NE(text.find("recordings/: /p/play\n  sheets: /p/level, then /p/share\n"
                        "  first map (when there is none yet): /p/share/map.txt\n"),
              std::string::npos)
        << text;
}
