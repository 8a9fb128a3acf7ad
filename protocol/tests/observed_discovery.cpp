// One discovery as the library runs it, for a lab test to start with or without CAP_NET_ADMIN.
// Prints "net_admin=N buffer=B count=C dropped=D": whether the process may administer the
// network, the receive buffer the kernel granted the discovery's socket (as SO_RCVBUF reports it),
// the units counted and the datagrams the kernel dropped for want of room.
//   observed_discovery TIMEOUT_MS [CAP_BYTES]
// With CAP_BYTES the socket's buffer is then cut to what a kernel whose net.core.rmem_max is
// CAP_BYTES grants a process without CAP_NET_ADMIN, whatever this host's setting.
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "datagram_socket.h"
#include "network_interfaces.h"
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
    explicit ObservedSocket(int capBytes) : capBytes_(capBytes) {}

    varl::SocketResult Create() override {
        const std::set<int> before = SocketDescriptors();
        const varl::SocketResult created = socket_.Create();
        for (int fd : SocketDescriptors()) {
            if (before.count(fd) != 0) continue;
            socklen_t length = sizeof receiveBuffer;
            getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, &length);
            if (capBytes_ > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &capBytes_, sizeof capBytes_);
        }
        return created;
    }
    varl::SocketResult EnableBroadcast() override { return socket_.EnableBroadcast(); }
    varl::SocketResult SendBroadcast(const char* bytes, std::size_t length, uint16_t port,
                                     const varl::NetworkInterface* via) override {
        return socket_.SendBroadcast(bytes, length, port, via);
    }
    varl::SocketResult ReceiveFrom(char* buffer, std::size_t size) override { return socket_.ReceiveFrom(buffer, size); }
    bool WaitReadable(std::chrono::nanoseconds timeout) override { return socket_.WaitReadable(timeout); }
    uint32_t DroppedDatagrams() override { return socket_.DroppedDatagrams(); }
    void Close() override { socket_.Close(); }

    int receiveBuffer = 0;

private:
    int capBytes_;
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
    if (argc != 2 && argc != 3) return 2;
    ObservedSocket socket(argc == 3 ? std::atoi(argv[2]) : 0);
    varl::SteadyPollClock clock;
    varl::SystemInterfaceList interfaces;
    varl::Exchange exchange{socket, clock, interfaces, varl::CallSettings::FromEnvironment(), {}};
    uint32_t count = 0;
    if (!varl::DiscoverUnits(exchange, &count, nullptr, static_cast<uint32_t>(std::atoi(argv[1]))).ok()) return 1;
    std::printf("net_admin=%d buffer=%d count=%u dropped=%u\n", MayAdministerTheNetwork() ? 1 : 0,
                socket.receiveBuffer, count, exchange.tally.droppedByKernel);
    return 0;
}
