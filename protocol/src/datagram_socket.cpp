#include "datagram_socket.h"

#include <arpa/inet.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace varl {
namespace {

// Room for a burst of replies queued while the caller is busy: the kernel charges each short
// datagram about 830 bytes, so this holds some 20,000 replies, and it is charged only while they
// wait. The kernel's default holds only about 256. A plain request is capped at
// net.core.rmem_max (212992 on a stock kernel: about 500 replies), so a process allowed to
// administer the network asks past that cap first; without that right, the replies a full buffer
// costs are asked for again (udp_exchanges.cpp).
constexpr int kReceiveBufferBytes = 16 << 20;

// One recvmmsg call takes up to this many queued datagrams.
constexpr unsigned kBatchDatagrams = 64;
// A slot holds more than any datagram a caller takes (200 bytes), so that a longer one is
// reported as too long rather than cut to fit.
constexpr std::size_t kSlotBytes = 512;

// Within a burst, replies come microseconds apart. Waking for each one would be woken by the
// sender's side of the kernel, which may pull this thread onto a processor that is busy
// delivering the burst, and reading without pause keeps the processor busy until the scheduler
// takes it away for milliseconds, longer than a capped receive buffer lasts. So for this long after
// a datagram the socket is not waited on: the thread naps on a timer for a batch interval and then
// takes all that queued in one recvmmsg. Measured in the lab with 10,000 replies and the stock
// receive buffer, on the 2-core development machine busy with other builds: reading without pause
// lost up to 44 % of a burst, waking on the socket up to 44 %, naps of 50 us up to 11 %.
constexpr std::chrono::microseconds kBurstGap{1000};
// About 100 short replies at a gigabit link's pace, with the kernel's default timer slack of 50 us:
// far from filling even a stock receive buffer.
constexpr std::chrono::microseconds kBatchInterval{50};

SocketResult ErrnoFailure() {
    const int error = errno;
    SocketResult failure;
    failure.error = SocketErrorFromErrno(error);
    failure.systemError = error;
    return failure;
}

}  // namespace

struct PosixDatagramSocket::Batch {
    union Control {
        cmsghdr aligned;
        char bytes[CMSG_SPACE(sizeof(uint32_t))];
    };

    std::array<mmsghdr, kBatchDatagrams> headers;
    std::array<iovec, kBatchDatagrams> parts;
    std::array<sockaddr_in, kBatchDatagrams> senders;
    std::array<Control, kBatchDatagrams> controls;
    std::array<std::array<char, kSlotBytes>, kBatchDatagrams> slots;
    unsigned filled = 0;
    unsigned next = 0;
};

PosixDatagramSocket::PosixDatagramSocket() : batch_(std::make_unique<Batch>()) {}

PosixDatagramSocket::~PosixDatagramSocket() { Close(); }

SocketResult PosixDatagramSocket::Create() {
    Close();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd == -1) return ErrnoFailure();
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(0);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == -1) {
        const SocketResult failure = ErrnoFailure();
        ::close(fd);
        return failure;
    }
    // A smaller buffer than asked for still works, only with less room for bursts.
    const int receiveBuffer = kReceiveBufferBytes;
    receiveBuffer_ = {};
    receiveBuffer_.forced = ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &receiveBuffer, sizeof receiveBuffer) == 0;
    if (!receiveBuffer_.forced) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    socklen_t length = sizeof receiveBuffer_.bytes;
    ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer_.bytes, &length);
    // Each datagram then carries the number the kernel dropped so far.
    const int stampDrops = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &stampDrops, sizeof stampDrops);
    fd_ = fd;
    batch_->filled = batch_->next = 0;
    lastDatagramAt_ = {};
    droppedBeforeLast_ = 0;
    return {};
}

SocketResult PosixDatagramSocket::EnableBroadcast() {
    const int enable = 1;
    if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable) == -1) return ErrnoFailure();
    return {};
}

SocketResult PosixDatagramSocket::SendBroadcast(const char* bytes, std::size_t length, uint16_t port,
                                                const NetworkInterface* via) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    iovec part{const_cast<char*>(bytes), length};
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    // IP_PKTINFO names the interface to leave by and the source address, and needs no privilege:
    // the kernel then routes a limited broadcast out of that interface, whatever the routing table
    // says.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (via != nullptr) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo leaveBy{};
        leaveBy.ipi_ifindex = static_cast<int>(via->index);
        leaveBy.ipi_spec_dst.s_addr = htonl(via->address);
        std::memcpy(CMSG_DATA(header), &leaveBy, sizeof leaveBy);
    }
    const ssize_t sent = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
    if (sent == -1) return ErrnoFailure();
    return {kWsaNoError, static_cast<std::size_t>(sent)};
}

SocketResult PosixDatagramSocket::SendTo(const char* bytes, std::size_t length, uint32_t address, uint16_t port) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(address);
    const ssize_t sent = ::sendto(fd_, bytes, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&destination),
                                  sizeof destination);
    if (sent == -1) return ErrnoFailure();
    return {kWsaNoError, static_cast<std::size_t>(sent)};
}

SocketResult PosixDatagramSocket::FillBatch() {
    Batch& batch = *batch_;
    for (unsigned i = 0; i < kBatchDatagrams; ++i) {
        batch.parts[i] = {batch.slots[i].data(), batch.slots[i].size()};
        msghdr& message = batch.headers[i].msg_hdr;
        message = {};
        message.msg_name = &batch.senders[i];
        message.msg_namelen = sizeof batch.senders[i];
        message.msg_iov = &batch.parts[i];
        message.msg_iovlen = 1;
        message.msg_control = batch.controls[i].bytes;
        message.msg_controllen = sizeof batch.controls[i].bytes;
        batch.headers[i].msg_len = 0;
    }
    const int received = ::recvmmsg(fd_, batch.headers.data(), kBatchDatagrams, MSG_DONTWAIT, nullptr);
    if (received == -1) return ErrnoFailure();
    batch.filled = static_cast<unsigned>(received);
    batch.next = 0;
    for (unsigned i = 0; i < batch.filled; ++i) {
        msghdr& message = batch.headers[i].msg_hdr;
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SO_RXQ_OVFL) {
                std::memcpy(&droppedBeforeLast_, CMSG_DATA(header), sizeof droppedBeforeLast_);
            }
        }
    }
    return {};
}

SocketResult PosixDatagramSocket::ReceiveFrom(char* buffer, std::size_t size) {
    Batch& batch = *batch_;
    if (batch.next == batch.filled) {
        if (SocketResult filled = FillBatch(); !filled.ok()) return filled;
    }
    const unsigned taken = batch.next++;
    lastDatagramAt_ = std::chrono::steady_clock::now();
    const mmsghdr& header = batch.headers[taken];
    // MSG_TRUNC: the datagram did not fit the slot either.
    if ((header.msg_hdr.msg_flags & MSG_TRUNC) != 0 || header.msg_len > size) return {kWsaEMsgSize};
    std::memcpy(buffer, batch.slots[taken].data(), header.msg_len);
    SocketResult datagram{kWsaNoError, header.msg_len};
    datagram.peerAddress = ntohl(batch.senders[taken].sin_addr.s_addr);
    datagram.peerPort = ntohs(batch.senders[taken].sin_port);
    return datagram;
}

bool PosixDatagramSocket::WaitReadable(std::chrono::nanoseconds timeout) {
    if (batch_->next < batch_->filled) return true;
    timeout = std::max(timeout, std::chrono::nanoseconds::zero());
    if (std::chrono::steady_clock::now() - lastDatagramAt_ < kBurstGap) {
        const auto nap = std::min<std::chrono::nanoseconds>(timeout, kBatchInterval);
        const timespec interval{0, static_cast<long>(nap.count())};
        ::nanosleep(&interval, nullptr);
        return true;
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec limit{static_cast<time_t>(seconds.count()), static_cast<long>((timeout - seconds).count())};
    pollfd wanted{fd_, POLLIN, 0};
    // An interrupted wait reads as readable: the caller looks at the socket and the time again.
    return ::ppoll(&wanted, 1, &limit, nullptr) != 0;
}

uint32_t PosixDatagramSocket::DroppedDatagrams() {
    // SO_RXQ_OVFL stamps a datagram with the drops before it was queued; drops after the last
    // datagram read only the socket's own count knows.
    uint32_t memory[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof memory;
    if (::getsockopt(fd_, SOL_SOCKET, SO_MEMINFO, memory, &length) == 0 &&
        length > SK_MEMINFO_DROPS * sizeof memory[0]) {
        return std::max(droppedBeforeLast_, memory[SK_MEMINFO_DROPS]);
    }
    return droppedBeforeLast_;
}

DatagramSocket::ReceiveBuffer PosixDatagramSocket::ReceiveBufferGranted() { return receiveBuffer_; }

void PosixDatagramSocket::Close() {
    if (fd_ != -1) {
        ::close(fd_);
        fd_ = -1;
    }
    batch_->filled = batch_->next = 0;
}

}  // namespace varl
