// The UDP socket of one exchange, as an interface so tests can script it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "socket_errors.h"

namespace varl {

// What one socket step gives back: its socket error, kWsaNoError when it succeeded, and for a
// send or receive that succeeded the number of bytes.
struct SocketResult {
    int error = kWsaNoError;
    std::size_t bytes = 0;

    bool ok() const noexcept { return error == kWsaNoError; }
};

class DatagramSocket {
public:
    virtual ~DatagramSocket() = default;

    // Opens a non-blocking UDP socket bound to a free port on every interface.
    virtual SocketResult Create() = 0;

    // Sets SO_BROADCAST to the 4-byte integer 1. Fails with WSAENOTSOCK when no socket was created.
    virtual SocketResult EnableBroadcast() = 0;

    // Sends length bytes to the limited broadcast address 255.255.255.255 at port.
    virtual SocketResult SendBroadcast(const char* bytes, std::size_t length, uint16_t port) = 0;

    // Takes one queued datagram from any sender into buffer. Fails with WSAEWOULDBLOCK when none is
    // queued, WSAEMSGSIZE when it was longer than size (it is then discarded), or another error.
    virtual SocketResult ReceiveFrom(char* buffer, std::size_t size) = 0;

    // Releases the socket; closing twice, or a socket never created, is harmless.
    virtual void Close() = 0;
};

// The real socket: POSIX, IPv4.
class PosixDatagramSocket final : public DatagramSocket {
public:
    PosixDatagramSocket() = default;
    ~PosixDatagramSocket() override;
    PosixDatagramSocket(const PosixDatagramSocket&) = delete;
    PosixDatagramSocket& operator=(const PosixDatagramSocket&) = delete;

    SocketResult Create() override;
    SocketResult EnableBroadcast() override;
    SocketResult SendBroadcast(const char* bytes, std::size_t length, uint16_t port) override;
    SocketResult ReceiveFrom(char* buffer, std::size_t size) override;
    void Close() override;

private:
    int fd_ = -1;
};

}  // namespace varl
