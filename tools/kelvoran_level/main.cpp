// kelvoran-level: packs a level folder into one file to share, checks one, verifies its
// solution and unpacks one for editing.
#include <cstring>
#include <iostream>
#include <string>

#include "kelvoran_level/level_tool.h"

namespace {
void usage(std::ostream& out) {
    out << "Usage: kelvoran-level pack DIR [-o FILE]   a level folder into one level file (ID.kvlevel)\n"
           "       kelvoran-level check FILE           what is wrong with a level file, or that it is sound\n"
           "       kelvoran-level verify FILE          replays its solution: solved in N steps, or why not\n"
           "       kelvoran-level unpack FILE DIR      into a new or empty folder, for editing\n"
           "Status: 0 done, 1 the level is refused or not solved, 2 a usage or file problem.\n";
}
}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
        usage(std::cout);
        return 0;
    }
    if (command == "pack" && (argc == 3 || (argc == 5 && std::strcmp(argv[3], "-o") == 0)))
        return packLevel(argv[2], argc == 5 ? argv[4] : "", std::cout, std::cerr);
    if (command == "check" && argc == 3) return checkLevel(argv[2], std::cout, std::cerr);
    if (command == "verify" && argc == 3) return verifyLevel(argv[2], std::cout, std::cerr);
    if (command == "unpack" && argc == 4) return unpackLevel(argv[2], argv[3], std::cout, std::cerr);
    usage(std::cerr);
    return 2;
}
