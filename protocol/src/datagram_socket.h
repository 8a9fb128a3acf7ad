// The UDP socket of one exchange, as an interface so tests can script it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "network_interfaces.h"
#include "socket_errors.h"

namespace varl {

// What one socket step gives back: its socket error, kWsaNoError when it succeeded, and for a
// send or receive that succeeded the number of bytes.
struct SocketResult {
    int error = kWsaNoError;
    std::size_t bytes = 0;
    // For a receive that succeeded: the sender's address (first octet in the most significant
    // byte) and port.
    uint32_t peerAddress = 0;
    uint16_t peerPort = 0;
    // The system's error number behind error, for the trace; 0 when there is none.
    int systemError = 0;

    bool ok() const noexcept { return error == kWsaNoError; }
};

class DatagramSocket {
public:
    virtual ~DatagramSocket() = default;

    // Opens a non-blocking UDP socket bound to a free port on every interface.
    virtual SocketResult Create() = 0;

    // Sets SO_BROADCAST to the 4-byte integer 1. Fails with WSAENOTSOCK when no socket was created.
    virtual SocketResult EnableBroadcast() = 0;

    // Sends length bytes to the limited broadcast address 255.255.255.255 at port: out of via with
    // via's address as the source, or, with via null, by the interface the routing table picks.
    virtual SocketResult SendBroadcast(const char* bytes, std::size_t length, uint16_t port,
                                       const NetworkInterface* via) = 0;

    // Sends length bytes to address (first octet in the most significant byte) at port, by the
    // route and source address the routing table picks. A would-block failure means the socket's
    // send buffer is full for now.
    virtual SocketResult SendTo(const char* bytes, std::size_t length, uint32_t address, uint16_t port) = 0;

    // Takes one queued datagram from any sender into buffer. Fails with WSAEWOULDBLOCK when none is
    // queued, WSAEMSGSIZE when it was longer than size (it is then discarded), or another error.
    virtual SocketResult ReceiveFrom(char* buffer, std::size_t size) = 0;

    // Blocks until a datagram may be queued or timeout has passed; false when the time passed.
    // True promises nothing: the receive that follows tells. Shortly after taking a datagram,
    // when more of a burst are likely close behind, the real socket naps on a timer instead and
    // then says true, so that the burst is taken in batches.
    virtual bool WaitReadable(std::chrono::nanoseconds timeout) = 0;

    // How many datagrams the kernel dropped for want of room in the socket's receive buffer, so far.
    virtual uint32_t DroppedDatagrams() = 0;

    // The receive buffer the socket was given, in bytes as the kernel reports it (twice what was
    // asked, overhead included), and whether it was forced past net.core.rmem_max.
    struct ReceiveBuffer {
        int bytes = 0;
        bool forced = false;
    };
    virtual ReceiveBuffer ReceiveBufferGranted() = 0;

    // Releases the socket; closing twice, or a socket never created, is harmless.
    virtual void Close() = 0;
};

// The real socket: POSIX, IPv4.
class PosixDatagramSocket final : public DatagramSocket {
public:
    PosixDatagramSocket();
    ~PosixDatagramSocket() override;
    PosixDatagramSocket(const PosixDatagramSocket&) = delete;
    PosixDatagramSocket& operator=(const PosixDatagramSocket&) = delete;

    SocketResult Create() override;
    SocketResult EnableBroadcast() override;
    SocketResult SendBroadcast(const char* bytes, std::size_t length, uint16_t port,
                               const NetworkInterface* via) override;
    SocketResult SendTo(const char* bytes, std::size_t length, uint32_t address, uint16_t port) override;
    SocketResult ReceiveFrom(char* buffer, std::size_t size) override;
    bool WaitReadable(std::chrono::nanoseconds timeout) override;
    uint32_t DroppedDatagrams() override;
    ReceiveBuffer ReceiveBufferGranted() override;
    void Close() override;

private:
    struct Batch;

    // Takes every datagram queued, up to a batch, from the kernel in one call.
    SocketResult FillBatch();

    int fd_ = -1;
    ReceiveBuffer receiveBuffer_;
    // The datagrams of the last batch not yet handed out.
    std::unique_ptr<Batch> batch_;
    // When the last datagram was taken: shortly after one, a wait reads the socket again at once.
    std::chrono::steady_clock::time_point lastDatagramAt_{};
    // The kernel's count of drops as SO_RXQ_OVFL stamped it on the last datagram received.
    uint32_t droppedBeforeLast_ = 0;
};

}  // namespace varl
