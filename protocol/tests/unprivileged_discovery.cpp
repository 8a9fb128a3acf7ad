// One discovery as the library runs it, for a lab test to start without CAP_NET_ADMIN. Prints
// "net_admin=N buffer=B count=C": whether the process may administer the network, the receive
// buffer the kernel granted the discovery's socket (as SO_RCVBUF reports it), and the units counted.
//   unprivileged_discovery TIMEOUT_MS
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "datagram_socket.h"
#include "poll_clock.h"
#include "udp_exchanges.h"

namespace {

std::set<int> SocketDescriptors() {
    std::set<int> sockets;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::atoi(entry.path().filename().c_str());
        struct stat status {};
        if (fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode)) sockets.insert(fd);
    }
    return sockets;
}

// The library's own socket, observed: once created, the buffer the kernel granted it.
class ObservedSocket final : public varl::DatagramSocket {
public:
    varl::SocketResult Create() override {
        const std::set<int> before = SocketDescriptors();
        const varl::SocketResult created = socket_.Create();
        for (int fd : SocketDescriptors()) {
            socklen_t length = sizeof receiveBuffer;
            if (before.count(fd) == 0) getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, &length);
        }
        return created;
    }
    varl::SocketResult EnableBroadcast() override { return socket_.EnableBroadcast(); }
    varl::SocketResult SendBroadcast(const char* bytes, std::size_t length, uint16_t port) override {
        return socket_.SendBroadcast(bytes, length, port);
    }
    varl::SocketResult ReceiveFrom(char* buffer, std::size_t size) override { return socket_.ReceiveFrom(buffer, size); }
    void Close() override { socket_.Close(); }

    int receiveBuffer = 0;

private:
    varl::PosixDatagramSocket socket_;
};

bool MayAdministerTheNetwork() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapEff:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> 12 & 1) != 0;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    ObservedSocket socket;
    varl::SteadyPollClock clock;
    uint32_t count = 0;
    if (!varl::DiscoverUnits(socket, clock, &count, nullptr, static_cast<uint32_t>(std::atoi(argv[1]))).ok()) return 1;
    std::printf("net_admin=%d buffer=%d count=%u\n", MayAdministerTheNetwork() ? 1 : 0, socket.receiveBuffer, count);
    return 0;
}
