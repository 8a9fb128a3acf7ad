// Counting the units' answers where they reach the PC: a packet socket sees every datagram an
// interface receives before the host firewall and the reverse-path filter judge it, so what it
// saw and the library did not get was dropped on this PC. Needs CAP_NET_RAW.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quorrel::cli {

// A unit's answer as it reached an interface.
struct SeenReply {
    unsigned interfaceIndex = 0;
    std::uint32_t source = 0;
    std::uint32_t serial = 0;
};

class ReplyCapture {
public:
    // Starts counting on every interface; null, with why in whyNot, when the socket cannot be had.
    static std::unique_ptr<ReplyCapture> Start(std::string& whyNot);
    ~ReplyCapture();
    ReplyCapture(const ReplyCapture&) = delete;
    ReplyCapture& operator=(const ReplyCapture&) = delete;

    // Stops counting; what was seen, in order of arrival.
    std::vector<SeenReply> Stop();

private:
    explicit ReplyCapture(int socket);
    void Read();

    int socket_;
    std::atomic<bool> stop_{false};
    std::vector<SeenReply> seen_;
    std::thread reader_;
};

// The answer in an IPv4 packet (from its header on), or false when it is none: UDP from port
// 8001 whose text begins with a serial.
bool ReadReplyPacket(const unsigned char* packet, std::size_t length, SeenReply& reply);

}  // namespace quorrel::cli
