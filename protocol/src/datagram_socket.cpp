#include "datagram_socket.h"

#include <arpa/inet.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace varl {
namespace {

// Room for a burst of replies queued while the caller is busy. The kernel's default holds only
// about 256 short datagrams, since each is charged its whole buffer overhead. A plain request is
// capped at net.core.rmem_max (212992 on a stock kernel: about 500 replies), so a process allowed
// to administer the network asks past that cap first. Replies are read the moment they arrive, so
// a burst fits even the capped buffer unless the process is kept from running.
constexpr int kReceiveBufferBytes = 1 << 20;

// Within a burst, replies come microseconds apart. Going to sleep between two of them costs a
// wake-up each, and a wake-up can take milliseconds (a virtual machine's idle processor, another
// process on it), longer than a capped receive buffer lasts at gigabit speed. So for this long
// after a datagram the socket is read again at once rather than waited on.
constexpr std::chrono::microseconds kBurstGap{200};

SocketResult ErrnoFailure() {
    const int error = errno;
    SocketResult failure;
    failure.error = SocketErrorFromErrno(error);
    failure.systemError = error;
    return failure;
}

}  // namespace

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
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &receiveBuffer, sizeof receiveBuffer) == -1) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    // Each datagram then carries the number the kernel dropped so far, for the trace.
    const int stampDrops = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &stampDrops, sizeof stampDrops);
    fd_ = fd;
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

SocketResult PosixDatagramSocket::ReceiveFrom(char* buffer, std::size_t size) {
    // recvmsg rather than recvfrom: only its MSG_TRUNC flag tells that the datagram did not fit.
    sockaddr_in sender{};
    iovec part{buffer, size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(uint32_t))];
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t received = ::recvmsg(fd_, &message, 0);
    if (received != -1) lastDatagramAt_ = std::chrono::steady_clock::now();
    if (received == -1) return ErrnoFailure();
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SO_RXQ_OVFL) {
            std::memcpy(&droppedBeforeLast_, CMSG_DATA(header), sizeof droppedBeforeLast_);
        }
    }
    if ((message.msg_flags & MSG_TRUNC) != 0) return {kWsaEMsgSize};
    SocketResult datagram{kWsaNoError, static_cast<std::size_t>(received)};
    datagram.peerAddress = ntohl(sender.sin_addr.s_addr);
    datagram.peerPort = ntohs(sender.sin_port);
    return datagram;
}

bool PosixDatagramSocket::WaitReadable(std::chrono::nanoseconds timeout) {
    if (std::chrono::steady_clock::now() - lastDatagramAt_ < kBurstGap) return true;
    timeout = std::max(timeout, std::chrono::nanoseconds::zero());
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

void PosixDatagramSocket::Close() {
    if (fd_ != -1) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace varl
