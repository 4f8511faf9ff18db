// udp_relay: a bad network on the loopback address, for the shared-session tests where the kernel
// has no netem. Every datagram between a client and the target waits its own delay (the base and
// a uniform jitter, so later datagrams may overtake earlier ones) or is lost; each client gets an
// upstream socket of its own, so the target sees every client as a peer of its own.
//   udp_relay --listen PORT --to PORT [--delay MS] [--jitter MS] [--loss PERCENT] [--seed N]
//             [--seconds N]
// One line on start saying what it does; runs until killed or for the seconds given.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace {
struct Settings {
    int listen = 0, to = 0;
    int delayMs = 0, jitterMs = 0;
    double loss = 0.0;  // 0 to 1
    unsigned seed = 1;
    int seconds = 0;    // 0: until killed
};

struct Client {
    sockaddr_in address{};
    int upstream = -1;  // its socket towards the target
};

struct Datagram {
    int64_t dueNs = 0;
    uint64_t order = 0;  // ties keep arrival order
    int socket = -1;
    sockaddr_in to{};
    std::vector<uint8_t> bytes;
    bool operator>(const Datagram& other) const {
        return dueNs != other.dueNs ? dueNs > other.dueNs : order > other.order;
    }
};

int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int openSocket(int port) {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) return -1;
    const sockaddr_in a = loopback(port);
    if (bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        close(s);
        return -1;
    }
    return s;
}

bool sameAddress(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
}

bool parse(int argc, char** argv, Settings& s) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--listen") s.listen = std::atoi(value);
        else if (option == "--to") s.to = std::atoi(value);
        else if (option == "--delay") s.delayMs = std::atoi(value);
        else if (option == "--jitter") s.jitterMs = std::atoi(value);
        else if (option == "--loss") s.loss = std::atof(value) / 100.0;
        else if (option == "--seed") s.seed = static_cast<unsigned>(std::atoi(value));
        else if (option == "--seconds") s.seconds = std::atoi(value);
        else return false;
    }
    return argc % 2 == 1 && s.listen > 0 && s.listen < 65536 && s.to > 0 && s.to < 65536 &&
           s.delayMs >= 0 && s.jitterMs >= 0 && s.loss >= 0.0 && s.loss <= 1.0;
}
}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parse(argc, argv, settings)) {
        std::cerr << "usage: udp_relay --listen PORT --to PORT [--delay MS] [--jitter MS] "
                     "[--loss PERCENT] [--seed N] [--seconds N]" << std::endl;
        return 2;
    }
    const int front = openSocket(settings.listen);
    if (front < 0) {
        std::cerr << "udp_relay: cannot listen on UDP port " << settings.listen << std::endl;
        return 1;
    }
    std::cout << "udp_relay: 127.0.0.1:" << settings.listen << " to 127.0.0.1:" << settings.to
              << ", each way " << settings.delayMs << " ms + 0.." << settings.jitterMs << " ms, "
              << settings.loss * 100.0 << "% lost" << std::endl;
    std::mt19937 random(settings.seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Client> clients;
    std::priority_queue<Datagram, std::vector<Datagram>, std::greater<Datagram>> queue;
    uint64_t order = 0;
    const sockaddr_in target = loopback(settings.to);
    const int64_t endNs = settings.seconds > 0 ? nowNs() + int64_t{settings.seconds} * 1000000000 : 0;
    std::vector<uint8_t> buffer(65536);

    // Queued for its own time, or lost.
    const auto pass = [&](int socket, const sockaddr_in& to, size_t size) {
        if (unit(random) < settings.loss) return;
        const double wait = settings.delayMs + unit(random) * settings.jitterMs;
        Datagram d;
        d.dueNs = nowNs() + static_cast<int64_t>(wait * 1e6);
        d.order = order++;
        d.socket = socket;
        d.to = to;
        d.bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
        queue.push(std::move(d));
    };

    while (endNs == 0 || nowNs() < endNs) {
        std::vector<pollfd> fds = {{front, POLLIN, 0}};
        for (const Client& c : clients) fds.push_back({c.upstream, POLLIN, 0});
        int timeoutMs = 100;
        if (!queue.empty())
            timeoutMs = static_cast<int>(std::max<int64_t>(0, (queue.top().dueNs - nowNs()) / 1000000));
        if (poll(fds.data(), fds.size(), std::min(timeoutMs, 100)) < 0) continue;
        if (fds[0].revents & POLLIN) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = recvfrom(front, buffer.data(), buffer.size(), 0,
                                       reinterpret_cast<sockaddr*>(&from), &length);
            if (n >= 0) {
                Client* client = nullptr;
                for (Client& c : clients)
                    if (sameAddress(c.address, from)) client = &c;
                if (!client) {
                    const int upstream = openSocket(0);
                    if (upstream >= 0) {
                        clients.push_back({from, upstream});
                        client = &clients.back();
                    }
                }
                if (client) pass(client->upstream, target, static_cast<size_t>(n));
            }
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            const ssize_t n = recv(fds[i].fd, buffer.data(), buffer.size(), 0);
            if (n >= 0) pass(front, clients[i - 1].address, static_cast<size_t>(n));
        }
        while (!queue.empty() && queue.top().dueNs <= nowNs()) {
            const Datagram& d = queue.top();
            sendto(d.socket, d.bytes.data(), d.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&d.to),
                   sizeof d.to);
            queue.pop();
        }
    }
    return 0;
}
