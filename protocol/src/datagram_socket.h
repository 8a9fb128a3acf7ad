// The UDP socket of one exchange, as an interface so tests can script it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varl {

// Every step that fails returns false or -1 and sets the thread's last socket error
// (socket_errors.h); steps that succeed leave it alone.
class DatagramSocket {
public:
    virtual ~DatagramSocket() = default;

    // Opens a non-blocking UDP socket bound to a free port on every interface.
    virtual bool Create() = 0;

    // Sets SO_BROADCAST to the 4-byte integer 1. Fails with WSAENOTSOCK when no socket was created.
    virtual bool EnableBroadcast() = 0;

    // Sends length bytes to the limited broadcast address 255.255.255.255 at port. Returns the
    // number of bytes sent, or -1.
    virtual long SendBroadcast(const char* bytes, std::size_t length, uint16_t port) = 0;

    // Takes one queued datagram from any sender into buffer. Returns its length, or -1 with
    // WSAEWOULDBLOCK when none is queued, WSAEMSGSIZE when it was longer than size (it is then
    // discarded), or another error.
    virtual long ReceiveFrom(char* buffer, std::size_t size) = 0;

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

    bool Create() override;
    bool EnableBroadcast() override;
    long SendBroadcast(const char* bytes, std::size_t length, uint16_t port) override;
    long ReceiveFrom(char* buffer, std::size_t size) override;
    void Close() override;

private:
    int fd_ = -1;
};

}  // namespace varl
