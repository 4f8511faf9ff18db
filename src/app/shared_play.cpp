// shared_play.cpp: the game's window run inside a shared session: the session opens before the
// window (a joiner learns at once whether it may play), and closes after the window's last pass.
#include "app/shared_play.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "app/shared_view.h"
#include "app/window.h"
#include "core/terminal_text.h"
#include "net/net_session.h"
#include "session/recording.h"
#include "session/recording_format.h"

namespace {
constexpr int kAnswerWaitMs = 10000;  // the host's welcome or refusal, after the connection

bool validPlayerName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameBytes) return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return true;
}

// The login name when it makes a valid player name, else "player".
std::string defaultName() {
    const char* user = std::getenv("USER");
    const std::string name = user ? user : "";
    return validPlayerName(name) ? name : "player";
}

std::string thisMachine() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == 0) return "THIS-MACHINE";
    return escapeForTerminal(name);
}

// Every peer keeps its recording of the whole session, with the step the game stopped at: the
// replay tool then tells a machine difference from a defect.
void sayWhereTheRecordingIs(int64_t step) {
    std::cout << "kelvoran: desync by step " << step << "; this player's recording: "
              << (isRecording() ? escapeForTerminal(recordingPath()) : "none (recording is off)")
              << " (complete once the game is left)" << std::endl;
}
}  // namespace

std::string sharedPlayProblem(const CommandLine& line) {
    if (line.host && !line.join.empty()) return "--host and --join cannot be given together";
    if (!line.name.empty() && !validPlayerName(line.name))
        return "--name takes 1 to " + std::to_string(kMaxNameBytes) + " bytes without control characters";
    return "";
}

int playTogether(const CommandLine& line, int argc, char** argv) {
    const std::string name = line.name.empty() ? defaultName() : line.name;
    const uint16_t port = line.port != 0 ? line.port : kDefaultPort;
    const PeerIdentity identity = localIdentity(recordingBuildId());
    std::string problem;
    if (line.host) {
        if (!startHosting(port, name, identity, &problem)) {
            std::cerr << "kelvoran: " << problem << std::endl;
            return 1;
        }
        std::cout << "kelvoran: hosting on UDP port " << port << " as " << escapeForTerminal(name)
                  << "; others join with kelvoran --join " << thisMachine() << ":" << port << std::endl;
    } else {
        std::cout << "kelvoran: joining " << escapeForTerminal(line.join) << ":" << port << " as "
                  << escapeForTerminal(name) << std::endl;
        if (!startJoining(line.join, port, name, identity, &problem)) {
            std::cerr << "kelvoran: " << escapeForTerminal(problem) << std::endl;
            stopNetwork();
            return 1;
        }
        for (int waited = 0; sessionState() == SessionState::Joining && waited < kAnswerWaitMs; waited += 5) {
            serviceNetwork();
            usleep(5000);
        }
        if (sessionState() != SessionState::Playing) {
            const std::string why = sessionState() == SessionState::Joining
                                        ? "the host at " + line.join + " did not answer the join"
                                        : sessionEnd();
            stopNetwork();
            std::cerr << "kelvoran: " << escapeForTerminal(why) << std::endl;
            return 1;
        }
    }
    setDesyncHandler(sayWhereTheRecordingIs);
    setWindowKeyFilter(sharedViewKey);  // Tab lists the players
    const int status = runApplication(argc, argv);
    setWindowKeyFilter(nullptr);
    stopNetwork();
    return status;
}
