// level_catalog_test.cpp: which level files the picker lists, and a file that cannot be read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/level_catalog.h"

namespace fs = std::filesystem;

TEST(LevelCatalog, FoldersInNameOrderThenTheNamedFilesEachOnce) {
    const fs::path dir = fs::temp_directory_path() / ("kelvoran-catalog-" + std::to_string(getpid()));
    fs::create_directories(dir / "installed" / "b.kvlevel.d");  // a folder, however named, is no file
    for (const char* name : {"installed/b.kvlevel", "installed/a.kvlevel", "installed/notes.txt", "mine.kvlevel"})
        std::ofstream(dir / name) << "not a zip";
    const std::vector<std::string> files =
        listLevelFiles({(dir / "installed").string(), (dir / "missing").string()},
                       {(dir / "mine.kvlevel").string(), (dir / "installed" / "a.kvlevel").string()});
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], (dir / "installed" / "a.kvlevel").string());
    EXPECT_EQ(files[1], (dir / "installed" / "b.kvlevel").string());
    EXPECT_EQ(files[2], (dir / "mine.kvlevel").string());

    const LevelCard card = readLevelCard(files[2], (dir / "best.txt").string(), dir.string());
    EXPECT_FALSE(card.readable);
    EXPECT_EQ(card.title, "mine.kvlevel");
    EXPECT_NE(card.problem.find("not a level file"), std::string::npos) << card.problem;
    fs::remove_all(dir);
}
