#include "datagram_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>


namespace varl {
namespace {

// Room for the replies of hundreds of units that answer at once. The kernel's default holds only
// about 256 short datagrams, since each is charged its whole buffer overhead. A plain request is
// capped at net.core.rmem_max (212992 on a stock kernel: about 500 replies), so a process allowed
// to administer the network asks past that cap first.
constexpr int kReceiveBufferBytes = 1 << 20;

SocketResult ErrnoFailure() { return {SocketErrorFromErrno(errno), 0}; }

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
    fd_ = fd;
    return {};
}

SocketResult PosixDatagramSocket::EnableBroadcast() {
    const int enable = 1;
    if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable) == -1) return ErrnoFailure();
    return {};
}

SocketResult PosixDatagramSocket::SendBroadcast(const char* bytes, std::size_t length, uint16_t port) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    const ssize_t sent = ::sendto(fd_, bytes, length, MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (sent == -1) return ErrnoFailure();
    return {kWsaNoError, static_cast<std::size_t>(sent)};
}

SocketResult PosixDatagramSocket::ReceiveFrom(char* buffer, std::size_t size) {
    // recvmsg rather than recvfrom: only its MSG_TRUNC flag tells that the datagram did not fit.
    iovec part{buffer, size};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t received = ::recvmsg(fd_, &message, 0);
    if (received == -1) return ErrnoFailure();
    if ((message.msg_flags & MSG_TRUNC) != 0) return {kWsaEMsgSize, 0};
    return {kWsaNoError, static_cast<std::size_t>(received)};
}

void PosixDatagramSocket::Close() {
    if (fd_ != -1) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace varl
