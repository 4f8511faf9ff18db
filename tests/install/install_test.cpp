// The installed programs and the Debian package: installed into a temporary prefix (or unpacked
// from the package), started from an empty folder on a private Xvfb display.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/private_display.h"

namespace fs = std::filesystem;

namespace {
// Exit status of a shell command, its standard output in out (standard error joins it).
int shell(const std::string& command, std::string* out = nullptr) {
    std::string text;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    const int status = pclose(pipe);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

struct Region {
    double mean = 0, deviation = 0;  // of all channels, 0..1
};
// Mean and standard deviation of a rectangle of a binary PPM.
Region measure(const fs::path& ppm, int x0, int y0, int x1, int y1) {
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    in.get();
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    if (magic != "P6" || maxValue != 255 || !in || x1 > width || y1 > height) return {-1, -1};
    double sum = 0, squares = 0;
    size_t count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            for (int c = 0; c < 3; ++c) {
                const double v = rgb[(static_cast<size_t>(y) * width + x) * 3 + c] / 255.0;
                sum += v;
                squares += v * v;
                ++count;
            }
        }
    }
    const double mean = sum / count;
    return {mean, std::sqrt(std::max(0.0, squares / count - mean * mean))};
}

class Installed : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kelvoran-install-XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        root = pattern;
        empty = root / "empty";
        userData = root / "data";
        fs::create_directories(empty);
        fs::create_directories(root / "home");
    }
    void TearDown() override {
        if (game > 0) {
            kill(game, SIGKILL);
            waitpid(game, nullptr, 0);
        }
        if (xvfb > 0) {
            kill(xvfb, SIGTERM);
            waitpid(xvfb, nullptr, 0);
        }
        if (HasFailure()) std::cerr << readWholeFile((root / "stderr.txt").string());
        fs::remove_all(root);
    }

    // The environment of a player who never ran the game, in a folder of nothing.
    std::string environment() const {
        // OpenAL Soft's silent output, as in the end-to-end tests: the sounds load and play
        // through the real path whether or not the machine has a sound card.
        return "cd " + quoted(empty) + " && env XDG_DATA_HOME=" + quoted(userData) +
               " HOME=" + quoted(root / "home") + " ALSOFT_DRIVERS=null ";
    }

    // Plays from the empty folder with an option the game does not know, shoots the window,
    // ends with Esc, then replays the session with the replay tool beside the game.
    void playFromEmptyFolder(const fs::path& gameBinary, const fs::path& replayBinary) {
        std::string display;
        xvfb = startPrivateDisplay(display);
        ASSERT_GT(xvfb, 0) << "Xvfb could not be started";
        game = fork();
        if (game == 0) {
            if (chdir(empty.c_str()) != 0) _exit(126);
            setenv("DISPLAY", display.c_str(), 1);
            setenv("XDG_DATA_HOME", userData.c_str(), 1);
            setenv("HOME", (root / "home").c_str(), 1);
            setenv("ALSOFT_DRIVERS", "null", 1);  // sounds load and play silently, card or none
            if (!freopen((root / "stdout.txt").c_str(), "w", stdout) ||
                !freopen((root / "stderr.txt").c_str(), "w", stderr))
                _exit(126);
            execl(gameBinary.c_str(), gameBinary.c_str(), "--bogus", static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string x = "DISPLAY=" + display + " ";
        std::string window;
        for (int i = 0; i < 200 && window.empty(); ++i) {
            sleepMs(100);
            std::istringstream(runCommand(x + "xdotool search --name '^Kelvoran v0.1$'")) >> window;
        }
        ASSERT_FALSE(window.empty()) << "no game window appeared";
        sleepMs(1500);
        const fs::path shot = root / "shot.ppm";
        runCommand(x + "import -window " + window + " -depth 8 " + quoted(shot));
        runCommand(x + "xdotool windowfocus --sync " + window + " key Escape");
        int status = -1;
        for (int waited = 0; waited < 10000 && status < 0; waited += 50) {
            int raw = 0;
            if (waitpid(game, &raw, WNOHANG) == game) status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
            else sleepMs(50);
        }
        if (status >= 0) game = -1;
        ASSERT_EQ(status, 0);

        // The sheets came from the installation: a dashboard and a patterned wall, where a
        // missing sheet would draw a white square and a flat sky.
        const Region dashboard = measure(shot, 10, 505, 210, 595);
        const Region wall = measure(shot, 200, 50, 800, 250);
        EXPECT_GE(dashboard.mean, 0.0);
        EXPECT_LT(dashboard.mean, 0.5) << "the dashboard is white: no hud0.png";
        EXPECT_GT(wall.deviation, 0.002) << "the wall is flat: no background.png";
        EXPECT_EQ(readWholeFile((root / "stderr.txt").string()),
                  "kelvoran: unknown option --bogus (ignored)\n");
        EXPECT_EQ(readWholeFile((root / "stdout.txt").string())
                      .rfind("Kelvoran v0.1\n Launched with 2 args:\n1. " + gameBinary.string() +
                                 "\n2. --bogus\n",
                             0),
                  0u);

        // Saved where the desktop keeps data, created on first use; nothing in the empty folder.
        const fs::path data = userData / "kelvoran";
        EXPECT_EQ(readWholeFile((data / "map.txt").string()),
                  readWholeFile(std::string(KELVORAN_ASSETS) + "/map.txt"));
        std::vector<fs::path> sessions;
        for (const auto& entry : fs::directory_iterator(data / "recordings")) sessions.push_back(entry.path());
        ASSERT_EQ(sessions.size(), 1u);
        std::string replay;
        EXPECT_EQ(shell("cd " + quoted(empty) + " && " + quoted(replayBinary) + " " +
                            quoted(sessions[0]) + " 2>" + quoted(root / "replay-errors.txt"),
                        &replay),
                  0);
        EXPECT_NE(replay.find("\nreplay matches: "), std::string::npos) << replay.substr(0, 300);
        EXPECT_EQ(readWholeFile((root / "replay-errors.txt").string()), "") << "a note: another build?";
        EXPECT_TRUE(fs::is_empty(empty));
    }

    fs::path root, empty, userData;
    pid_t game = -1, xvfb = -1;
};
}  // namespace

TEST_F(Installed, IntoAPrefixPlaysFromAnEmptyFolderWithItsSheetsAndKeepsItsFilesInTheDataFolder) {
    const fs::path prefix = root / "prefix";
    std::string log;
    ASSERT_EQ(shell(std::string(KELVORAN_CMAKE) + " --install " + KELVORAN_BUILD_DIR + " --prefix " +
                        quoted(prefix),
                    &log),
              0)
        << log;
    const fs::path binary = prefix / "bin/kelvoran";

    // --help and --version come after the banner and argument lines, and create nothing.
    std::string help, version;
    EXPECT_EQ(shell(environment() + quoted(binary) + " --help", &help), 0);
    EXPECT_EQ(help.rfind("Kelvoran v0.1\n Launched with 2 args:\n1. " + binary.string() +
                             "\n2. --help\nUsage: kelvoran ",
                         0),
              0u)
        << help;
    EXPECT_NE(help.find("sheets: " + (prefix / "share/kelvoran").string() + "\n"), std::string::npos)
        << help;
    EXPECT_EQ(shell(environment() + quoted(binary) + " --version", &version), 0);
    EXPECT_EQ(version.rfind("Kelvoran v0.1\n Launched with 2 args:\n1. " + binary.string() +
                                "\n2. --version\nkelvoran 0.1\nbuild ",
                            0),
              0u)
        << version;
    EXPECT_FALSE(fs::exists(userData));

    playFromEmptyFolder(binary, prefix / "bin/kelvoran-replay");
}

TEST_F(Installed, AsADebianPackagePassesLintianAndRunsUnpacked) {
    std::string log;
    ASSERT_EQ(shell("cd " + std::string(KELVORAN_BUILD_DIR) + " && " + KELVORAN_CPACK +
                        " -G DEB -B " + quoted(root / "package"),
                    &log),
              0)
        << log;
    const fs::path deb = root / "package/kelvoran_0.1_amd64.deb";
    ASSERT_TRUE(fs::exists(deb)) << log;

    std::string contents, depends, lintian;
    ASSERT_EQ(shell("dpkg-deb --contents " + quoted(deb), &contents), 0);
    for (const char* path :
         {"./usr/games/kelvoran", "./usr/bin/kelvoran-map", "./usr/bin/kelvoran-replay",
          "./usr/share/kelvoran/map.txt", "./usr/share/kelvoran/background.png",
          "./usr/share/kelvoran/light1.png", "./usr/share/man/man6/kelvoran.6.gz",
          "./usr/share/man/man1/kelvoran-map.1.gz", "./usr/share/man/man1/kelvoran-replay.1.gz",
          "./usr/share/applications/kelvoran.desktop",
          "./usr/share/icons/hicolor/256x256/apps/kelvoran.png",
          "./usr/share/doc/kelvoran/copyright", "./usr/share/doc/kelvoran/changelog.gz"})
        EXPECT_NE(contents.find(std::string(path) + "\n"), std::string::npos) << path;
    ASSERT_EQ(shell("dpkg-deb --field " + quoted(deb) + " Depends", &depends), 0);
    for (const char* package : {"libbox2d2", "libsoil1", "libglut3.12", "libpng16-16", "libgl1",
                                "liblua5.4-0", "libopenal1", "libsndfile1"})
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
    ASSERT_EQ(shell("command -v lintian"), 0) << "lintian is not installed (scripts/install-deps.sh)";
    shell("lintian " + quoted(deb), &lintian);
    EXPECT_EQ(("\n" + lintian).find("\nE: "), std::string::npos) << lintian;

    const fs::path unpacked = root / "unpacked";
    ASSERT_EQ(shell("dpkg -x " + quoted(deb) + " " + quoted(unpacked)), 0);
    playFromEmptyFolder(unpacked / "usr/games/kelvoran", unpacked / "usr/bin/kelvoran-replay");
}
