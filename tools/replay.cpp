// replay: runs the game's logic without a window on a script of timed input events (see
// app/headless.h for the format), in the current folder's map.txt, printing the console output.
// Usage: replay SCRIPT [END_MS]
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "session/headless.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: replay SCRIPT [END_MS]\n";
        return 2;
    }
    std::ifstream script(argv[1]);
    if (!script) {
        std::cerr << "replay: cannot read " << argv[1] << "\n";
        return 2;
    }
    const auto events = parseInputScript(script);
    const int32_t end = argc > 2 ? std::atoi(argv[2]) : (events.empty() ? 0 : events.back().time + 1000);
    startHeadless();
    replay(events, end);
    stopHeadless();
    return 0;
}
