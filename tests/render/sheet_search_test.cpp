// Sheets read through a folder search: which file wins, and what a failure names.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/data_search.h"
#include "render/texture.h"
#include "support/gl_window.h"

namespace fs = std::filesystem;

TEST(SheetFoldersGl, FirstFolderHoldingASheetWinsAndNoneHoldingItNamesItBare) {
    openTestWindow(64, 64);
    const std::string root = enterTempFolder("kelvoran-sheets");
    const std::string own = root + "/level", shipped = root + "/shipped";
    fs::create_directories(own);
    fs::create_directories(shipped);
    std::ofstream(own + "/image.png") << "not a picture";  // the level's own copy is the one read
    for (const char* name : {"image.png", "hud2.png"})
        fs::copy_file(std::string(KELVORAN_ASSETS) + "/" + name, shipped + "/" + name);
    // The working folder is not searched once folders are set.
    fs::copy_file(std::string(KELVORAN_ASSETS) + "/light.png", root + "/light.png");
    setDataFolders({own, shipped});

    Texture& image = createTexture();
    Texture& hud = createTexture();
    Texture& light = createTexture();
    testing::internal::CaptureStderr();
    captureStdout([&] {
        loadSheet(image, "image.png", 32, 32, 16, 16, 1, 1);
        loadSheet(hud, "hud2.png", 25, 45, 11, 21, 4, 2);
        loadSheet(light, "light.png", 750, 430, 160, 216, 1, 1);
    });
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              own + "/image.png: not a PNG file\nlight.png: cannot open: No such file or directory\n");
    EXPECT_EQ(image.glName, 0u);
    EXPECT_NE(hud.glName, 0u);
    EXPECT_EQ(light.glName, 0u);
    EXPECT_EQ(findTexture("hud2.png"), &hud);  // registered under the bare name, as always
    setDataFolders({});
    leaveTempFolder(root);
}
