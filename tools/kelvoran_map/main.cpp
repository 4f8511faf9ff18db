// main.cpp: kelvoran-map's command line: picks the command, checks its arguments, reads and
// writes the files, and turns every failure into a message on standard error and status 2.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "kelvoran_map/json_form.h"
#include "kelvoran_map/map_check.h"
#include "kelvoran_map/map_picture.h"
#include "kelvoran_map/map_stats.h"
#include "map/map_codec.h"
#include "map/map_file.h"

namespace {

constexpr int kClean = 0;
constexpr int kProblems = 1;
constexpr int kFailure = 2;  // bad arguments, an unreadable input or an unwritable output

const char kProgramHelp[] =
    "Usage: kelvoran-map COMMAND ARGUMENTS...\n"
    "Checks, converts and draws the game's binary map files (map.txt) with the game's own\n"
    "reader and geometry.\n"
    "\n"
    "Commands:\n"
    "  check FILE [--fix OUT]       report what the game would reject or mishandle\n"
    "  to-json FILE                 print the map as JSON, exact to the bit\n"
    "  from-json JSON FILE          write the binary map for JSON (- reads standard input)\n"
    "  draw FILE OUT.png|OUT.svg    draw the map [--view map|game] [--width PIXELS]\n"
    "  stats FILE                   count, extent, smallest and largest quad, quads without body\n"
    "\n"
    "Quads are numbered from 1, in file order, as the game prints them while loading.\n"
    "'kelvoran-map COMMAND --help' tells more about a command.\n"
    "Exit status: 0 success (check: no problem), 1 check found problems, 2 bad arguments or\n"
    "a file that cannot be read or written.\n";

const char kCheckHelp[] =
    "Usage: kelvoran-map check FILE [--fix OUT]\n"
    "Reads FILE as the game does and prints one line per problem on standard output:\n"
    "  file: count C does not match the length of N bytes (records read: R, bytes left over: B)\n"
    "                                 the file is not the 4-byte count and exactly that many\n"
    "                                 33-byte records (the game reads while both last)\n"
    "  file: N bytes, too short to hold the quad count\n"
    "  quad I: rejected (wrong winding|not convex|collinear corners|corners not finite)\n"
    "                                 the game keeps the quad with zero corners and no body\n"
    "  quad I: no body (corners unsafe for the physics library)\n"
    "  quad I: out of range for the lighting geometry   a corner, or a shadow 2500 units\n"
    "                                 from it, does not fit a 32-bit integer\n"
    "  quad I: duplicate of quad J    the same four corners as an earlier accepted quad,\n"
    "                                 whichever corner comes first (the tag plays no part)\n"
    "I and J count quads from 1 in file order. Rejected quads are not checked further.\n"
    "--fix OUT writes a copy without the rejected and duplicated quads, its count corrected\n"
    "and anything after the last record dropped; the status still describes FILE.\n"
    "Exit status: 0 no problem, 1 problems found, 2 FILE unreadable or OUT unwritable.\n";

const char kToJsonHelp[] =
    "Usage: kelvoran-map to-json FILE\n"
    "Prints FILE as JSON on standard output, one quad per line:\n"
    "  {\"count\": 2, \"quads\": [{\"corners\":[[x0,y0],[x1,y1],[x2,y2],[x3,y3]],\"tag\":0}, ...],\n"
    "   \"trailing\": \"0a1b\"}\n"
    "Every number reads back to the same float32 bits: whole values as integers, others with\n"
    "the fewest digits that round-trip, -0 as -0.0, infinities as \"inf\" and \"-inf\", NaN as\n"
    "\"nan:0x\" with its exact bit pattern (e.g. \"nan:0x7fc00000\"). \"count\" is the stored\n"
    "float, which need not match the quads (null when the file cannot hold one); \"tag\" is\n"
    "the record's byte. The quads are the records the game reads; \"trailing\" (only when\n"
    "present) holds every byte after them in hex, so from-json gives back the file exactly.\n"
    "Exit status: 0 printed, 2 FILE unreadable.\n";

const char kFromJsonHelp[] =
    "Usage: kelvoran-map from-json JSON FILE\n"
    "Writes the binary map FILE for JSON in the form to-json prints (- reads JSON from\n"
    "standard input). \"count\" may be left out (the number of quads) and \"tag\" too (0);\n"
    "numbers that are not exact float32 values round to the nearest one. to-json then\n"
    "from-json reproduces any file byte for byte.\n"
    "Exit status: 0 written, 2 JSON unreadable, not a map (a number beyond a double or a NUL\n"
    "byte included), or FILE unwritable.\n";

const char kDrawHelp[] =
    "Usage: kelvoran-map draw FILE OUT.png|OUT.svg [--view map|game] [--width PIXELS]\n"
    "Draws the map as the game shows it, y growing downward: a light grid every 8 units\n"
    "(stronger every 64), the axes, the physics ground (x -640..1920, y 740..820), each quad\n"
    "filled and outlined with its number (from 1), rejected quads in red, and a scale bar.\n"
    "  --view map    (default) framed to the quads' extent with a margin, the game's start\n"
    "                view dashed; the start view when there are no quads\n"
    "  --view game   the game's start view: 1024 x 600 units centred on (0, 0)\n"
    "  --width N     picture width in pixels, 64 to 8192 (default 1024); the height follows\n"
    "                the framed area (the game view at 1024 is 1024 x 600)\n"
    "Quads with a corner beyond 1e6 units or not finite are left out of the picture. A PNG\n"
    "has at most 16384 pixels on a side and 256 MiB; past 10000 numbered places the numbers\n"
    "are left out (the title says so).\n"
    "Exit status: 0 drawn, 2 bad options, FILE unreadable, OUT unwritable or too large.\n";

const char kStatsHelp[] =
    "Usage: kelvoran-map stats FILE\n"
    "Prints a short table: the stored count with the records read and accepted, the extent\n"
    "and the smallest and largest quad by area (of the accepted quads, world units), and how\n"
    "many quads the game gives no physics body (rejected ones included).\n"
    "Exit status: 0 printed, 2 FILE unreadable.\n";

struct Command {
    const char* name;
    const char* help;
    int (*run)(const std::vector<std::string>& positional, const std::vector<std::string>& options);
    size_t positionalCount;
};

// The message, the command's usage line and where to read more.
int usageError(const std::string& message, const char* help) {
    const std::string text(help);
    std::cerr << "kelvoran-map: " << message << "\n" << text.substr(0, text.find('\n') + 1)
              << "Try 'kelvoran-map --help' or 'kelvoran-map COMMAND --help'.\n";
    return kFailure;
}

bool readInput(const std::string& path, std::vector<uint8_t>& bytes) {
    errno = 0;
    std::string why;  // the tool words it from errno, as it always has
    if (readMapFile(path.c_str(), bytes, why)) return true;
    std::cerr << "kelvoran-map: cannot read " << path << ": "
              << (errno != 0 ? std::strerror(errno) : "not a regular file") << "\n";
    return false;
}

bool writeOutput(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file != nullptr;
    int error = errno;
    if (ok && !bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        ok = false;
        error = errno;
    }
    if (file != nullptr && std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) std::cerr << "kelvoran-map: cannot write " << path << ": " << std::strerror(error) << "\n";
    return ok;
}

int runCheck(const std::vector<std::string>& positional, const std::vector<std::string>& options) {
    std::string fixPath;
    for (size_t i = 0; i < options.size(); ++i) {
        if (options[i] == "--fix" && i + 1 < options.size()) {
            fixPath = options[++i];
        } else {
            return usageError("check: unknown option or missing value: " + options[i], kCheckHelp);
        }
    }
    std::vector<uint8_t> bytes;
    if (!readInput(positional[0], bytes)) return kFailure;
    const MapReport report = examineMap(bytes);
    const std::vector<std::string> lines = problemLines(report);
    for (const std::string& line : lines) std::cout << line << "\n";
    std::cout.flush();
    if (!fixPath.empty() && !writeOutput(fixPath, encodeMap(keptRecords(report)))) return kFailure;
    return lines.empty() ? kClean : kProblems;
}

int runToJson(const std::vector<std::string>& positional, const std::vector<std::string>& options) {
    if (!options.empty()) return usageError("to-json: unknown option " + options[0], kToJsonHelp);
    std::vector<uint8_t> bytes;
    if (!readInput(positional[0], bytes)) return kFailure;
    std::cout << mapBytesToJson(bytes);
    std::cout.flush();
    return std::cout ? kClean : kFailure;
}

int runFromJson(const std::vector<std::string>& positional, const std::vector<std::string>& options) {
    if (!options.empty()) return usageError("from-json: unknown option " + options[0], kFromJsonHelp);
    std::string text;
    if (positional[0] == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(positional[0], std::ios::binary);
        if (!in) {
            std::cerr << "kelvoran-map: cannot read " << positional[0] << ": " << std::strerror(errno)
                      << "\n";
            return kFailure;
        }
        std::ostringstream whole;
        whole << in.rdbuf();
        if (in.bad()) {
            std::cerr << "kelvoran-map: cannot read " << positional[0] << "\n";
            return kFailure;
        }
        text = whole.str();
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!mapBytesFromJson(text, bytes, error)) {
        std::cerr << "kelvoran-map: " << positional[0] << ": " << error << "\n";
        return kFailure;
    }
    return writeOutput(positional[1], bytes) ? kClean : kFailure;
}

int runDraw(const std::vector<std::string>& positional, const std::vector<std::string>& options) {
    PictureOptions picture;
    for (size_t i = 0; i < options.size(); ++i) {
        const bool hasValue = i + 1 < options.size();
        if (options[i] == "--view" && hasValue) {
            const std::string& view = options[++i];
            if (view == "map") picture.view = PictureView::Map;
            else if (view == "game") picture.view = PictureView::Game;
            else return usageError("draw: --view takes map or game, not " + view, kDrawHelp);
        } else if (options[i] == "--width" && hasValue) {
            const std::string& value = options[++i];
            char* end = nullptr;
            const long width = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || width < 64 || width > 8192) {
                return usageError("draw: --width takes a whole number from 64 to 8192, not " + value,
                                  kDrawHelp);
            }
            picture.width = static_cast<int>(width);
        } else {
            return usageError("draw: unknown option or missing value: " + options[i], kDrawHelp);
        }
    }
    const std::string& out = positional[1];
    std::vector<uint8_t> bytes;
    if (!readInput(positional[0], bytes)) return kFailure;
    const MapReport report = examineMap(bytes);
    picture.title = positional[0] + ": " + std::to_string(report.map.records.size()) + " quads";
    std::string error;
    if (!drawMapPicture(report, out, picture, error)) {
        std::cerr << "kelvoran-map: " << error << "\n";
        return kFailure;
    }
    return kClean;
}

int runStats(const std::vector<std::string>& positional, const std::vector<std::string>& options) {
    if (!options.empty()) return usageError("stats: unknown option " + options[0], kStatsHelp);
    std::vector<uint8_t> bytes;
    if (!readInput(positional[0], bytes)) return kFailure;
    std::cout << statsTable(examineMap(bytes));
    std::cout.flush();
    return kClean;
}

const Command kCommands[] = {
    {"check", kCheckHelp, runCheck, 1},     {"to-json", kToJsonHelp, runToJson, 1},
    {"from-json", kFromJsonHelp, runFromJson, 2}, {"draw", kDrawHelp, runDraw, 2},
    {"stats", kStatsHelp, runStats, 1},
};

const Command* findCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

bool isHelp(const std::string& argument) { return argument == "--help" || argument == "-h"; }

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError("no command given", kProgramHelp);
    if (isHelp(args[0]) || args[0] == "help") {
        if (args.size() > 1) {
            const Command* command = findCommand(args[1]);
            if (command == nullptr) return usageError("unknown command: " + args[1], kProgramHelp);
            std::cout << command->help;
        } else {
            std::cout << kProgramHelp;
        }
        return kClean;
    }
    const Command* command = findCommand(args[0]);
    if (command == nullptr) return usageError("unknown command: " + args[0], kProgramHelp);

    // Options start with "--" and take their value from the next argument; "-" alone is a name.
    std::vector<std::string> positional, options;
    for (size_t i = 1; i < args.size(); ++i) {
        if (isHelp(args[i])) {
            std::cout << command->help;
            return kClean;
        }
        if (args[i].size() > 1 && args[i][0] == '-') {
            options.push_back(args[i]);
            const bool takesValue = args[i] == "--fix" || args[i] == "--view" || args[i] == "--width";
            if (takesValue && i + 1 < args.size()) options.push_back(args[++i]);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != command->positionalCount) {
        return usageError(std::string(command->name) + ": expected " +
                              std::to_string(command->positionalCount) + " file name" +
                              (command->positionalCount == 1 ? "" : "s") + ", got " +
                              std::to_string(positional.size()),
                          command->help);
    }
    return command->run(positional, options);
}
