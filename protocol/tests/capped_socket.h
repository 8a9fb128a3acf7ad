// The library's own socket with its receive buffer cut, once created, to what a kernel whose
// net.core.rmem_max is capBytes grants a process without CAP_NET_ADMIN, whatever this host's
// setting (net.core.rmem_max belongs to the whole machine, not to a network namespace, so the lab
// cannot set it). For lab tests and benchmarks that measure discovery against a stock kernel's
// buffer.
#pragma once

#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "datagram_socket.h"

namespace varl::testing {

// Whether this process holds CAP_NET_ADMIN (bit 12 of its effective capabilities), which lets the
// library ask for a receive buffer past net.core.rmem_max.
inline bool MayAdministerTheNetwork() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapEff:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> 12 & 1) != 0;
    }
    return false;
}


class CappedSocket final : public DatagramSocket {
public:
    // capBytes 0 leaves the buffer as granted.
    explicit CappedSocket(int capBytes) : capBytes_(capBytes) {}

    SocketResult Create() override {
        const std::set<int> before = SocketDescriptors();
        const SocketResult created = socket_.Create();
        for (int fd : SocketDescriptors()) {
            if (before.count(fd) == 0 && capBytes_ > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &capBytes_, sizeof capBytes_);
        }
        return created;
    }
    SocketResult EnableBroadcast() override { return socket_.EnableBroadcast(); }
    SocketResult SendBroadcast(const char* bytes, std::size_t length, uint16_t port,
                               const NetworkInterface* via) override {
        return socket_.SendBroadcast(bytes, length, port, via);
    }
    SocketResult SendTo(const char* bytes, std::size_t length, uint32_t address, uint16_t port) override {
        return socket_.SendTo(bytes, length, address, port);
    }
    SocketResult ReceiveFrom(char* buffer, std::size_t size) override { return socket_.ReceiveFrom(buffer, size); }
    bool WaitReadable(std::chrono::nanoseconds timeout) override { return socket_.WaitReadable(timeout); }
    uint32_t DroppedDatagrams() override { return socket_.DroppedDatagrams(); }
    // What the kernel granted before the cut.
    ReceiveBuffer ReceiveBufferGranted() override { return socket_.ReceiveBufferGranted(); }
    void Close() override { socket_.Close(); }

private:
    static std::set<int> SocketDescriptors() {
        std::set<int> sockets;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            const int fd = std::atoi(entry.path().filename().c_str());
            struct stat status {};
            if (fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode)) sockets.insert(fd);
        }
        return sockets;
    }

    int capBytes_;
    PosixDatagramSocket socket_;
};

}  // namespace varl::testing
