#include "doctor_capture.h"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "doctor_firewall.h"
#include "messages.h"

namespace quorrel::cli {
namespace {

constexpr int kPollMs = 20;

// Classic BPF over the IPv4 packet: keep UDP from port 8001 (first fragments only, where the UDP
// header is), drop the rest in the kernel. Jumps count instructions from the next one.
constexpr sock_filter kUnitReplies[] = {
    {BPF_LD | BPF_B | BPF_ABS, 0, 0, 9},           // 0: A = protocol
    {BPF_JMP | BPF_JEQ | BPF_K, 0, 6, IPPROTO_UDP},  // 1: UDP, or drop (8)
    {BPF_LD | BPF_H | BPF_ABS, 0, 0, 6},           // 2: A = flags and fragment offset
    {BPF_JMP | BPF_JSET | BPF_K, 4, 0, 0x1FFF},    // 3: a later fragment: drop (8)
    {BPF_LDX | BPF_B | BPF_MSH, 0, 0, 0},          // 4: X = header length
    {BPF_LD | BPF_H | BPF_IND, 0, 0, 0},           // 5: A = UDP source port
    {BPF_JMP | BPF_JEQ | BPF_K, 0, 1, kUnitPort},  // 6: port 8001: keep (7), or drop (8)
    {BPF_RET | BPF_K, 0, 0, 0xFFFF},               // 7: keep the whole packet
    {BPF_RET | BPF_K, 0, 0, 0},                    // 8: drop
};

}  // namespace

bool ReadReplyPacket(const unsigned char* packet, std::size_t length, SeenReply& reply) {
    if (length < 20 || (packet[0] >> 4) != 4 || packet[9] != IPPROTO_UDP) return false;
    const std::size_t headerLength = (packet[0] & 0x0Fu) * 4u;
    if (headerLength < 20 || length < headerLength + 8) return false;
    const unsigned char* udp = packet + headerLength;
    if (((udp[0] << 8) | udp[1]) != kUnitPort) return false;
    const std::size_t udpLength = (static_cast<std::size_t>(udp[4]) << 8) | udp[5];
    if (udpLength < 8 || headerLength + udpLength > length) return false;
    DeviceRecord record{};
    const std::string_view text(reinterpret_cast<const char*>(udp + 8), udpLength - 8);
    if (!varl::ParseDeviceReply(text, record)) return false;
    std::uint32_t source = 0;
    std::memcpy(&source, packet + 12, sizeof source);
    reply.source = ntohl(source);
    reply.serial = record.serial;
    return true;
}

std::unique_ptr<ReplyCapture> ReplyCapture::Start(std::string& whyNot) {
    const int packetSocket = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_IP));
    if (packetSocket < 0) {
        whyNot = errno == EPERM || errno == EACCES ? "needs CAP_NET_RAW" : std::string("failed: ") + std::strerror(errno);
        return nullptr;
    }
    const sock_fprog program{static_cast<unsigned short>(std::size(kUnitReplies)), const_cast<sock_filter*>(kUnitReplies)};
    if (::setsockopt(packetSocket, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0) {
        whyNot = std::string("failed: the packet filter was refused: ") + std::strerror(errno);
        ::close(packetSocket);
        return nullptr;
    }
    return std::unique_ptr<ReplyCapture>(new ReplyCapture(packetSocket));
}

ReplyCapture::ReplyCapture(int socket) : socket_(socket), reader_([this] { Read(); }) {}

ReplyCapture::~ReplyCapture() {
    Stop();
    ::close(socket_);
}

std::vector<SeenReply> ReplyCapture::Stop() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    return seen_;
}

void ReplyCapture::Read() {
    unsigned char packet[2048];
    pollfd readable{socket_, POLLIN, 0};
    while (!stop_) {
        if (::poll(&readable, 1, kPollMs) <= 0) continue;
        for (;;) {
            sockaddr_ll from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got = ::recvfrom(socket_, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got < 0) break;
            SeenReply reply;
            if (from.sll_pkttype != PACKET_OUTGOING && ReadReplyPacket(packet, static_cast<std::size_t>(got), reply)) {
                reply.interfaceIndex = static_cast<unsigned>(from.sll_ifindex);
                seen_.push_back(reply);
            }
        }
    }
}

}  // namespace quorrel::cli
