// private_display.cpp: shell commands, whole files and a private Xvfb for the program tests.
#include "support/private_display.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

std::string runCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
        pclose(pipe);
    }
    return output;
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

pid_t startPrivateDisplay(std::string& display) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int number = 300 + static_cast<int>((getpid() * 7 + attempt * 13) % 600);
        const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (fs::exists(lock) || fs::exists(socket)) continue;
        display = ":" + std::to_string(number);
        const pid_t server = fork();
        if (server == 0) {
            if (!freopen("/dev/null", "w", stderr) || !freopen("/dev/null", "w", stdout)) _exit(126);
            // -noreset: no server reset, and no refused connections, between two clients.
            execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1600x1200x24", "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int waited = 0; waited < 5000; waited += 50) {
            if (runCommand("xdpyinfo -display " + display).find("screen #0") != std::string::npos)
                return server;
            if (waitpid(server, nullptr, WNOHANG) == server) break;  // lost a race for the number
            sleepMs(50);
        }
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    return -1;
}
