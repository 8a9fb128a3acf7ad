#include "udp_exchanges.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_set>

#include "failure_texts.h"
#include "messages.h"

namespace varl {
namespace {

// Closes the exchange's socket however the exchange ends.
class SocketCloser {
public:
    explicit SocketCloser(DatagramSocket& socket) : socket_(socket) {}
    ~SocketCloser() { socket_.Close(); }
    SocketCloser(const SocketCloser&) = delete;
    SocketCloser& operator=(const SocketCloser&) = delete;

private:
    DatagramSocket& socket_;
};

// The request is built in the exchange's receive buffer with a terminating zero, which is not sent.
SocketResult SendDiscoverRequest(DatagramSocket& socket, MessageBuffer& buffer) {
    std::memcpy(buffer.data(), kDiscoverRequest.data(), kDiscoverRequest.size());
    buffer[kDiscoverRequest.size()] = '\0';
    return socket.SendBroadcast(buffer.data(), kDiscoverRequest.size(), kUnitPort);
}

// Success for a step that succeeded, else the failure read as "MESSAGE (NAME)".
Status Checked(const SocketResult& step, const char* message) {
    return step.ok() ? Status() : Status::SocketFailure(message, step.error);
}

// Counted time is the normal end of every exchange, but it stands still while datagrams keep
// arriving. Past this much real time a flooded exchange ends anyway; a normal one, whose waits
// overrun their 20 ms only slightly, never comes near it.
std::chrono::milliseconds RunawayLimit(uint32_t timeoutMs) {
    return std::chrono::milliseconds(2 * static_cast<int64_t>(timeoutMs) + 1000);
}

}  // namespace

SocketResult ReceivePolled(DatagramSocket& socket, PollClock& clock, char* buffer, std::size_t size,
                           uint32_t& budgetMs) {
    // 64 bits, so that a budget near 2^32 cannot wrap the count and never be reached.
    uint64_t counted = 0;
    SocketResult received;
    for (;;) {
        received = socket.ReceiveFrom(buffer, size);
        if (received.error != kWsaEWouldBlock) break;
        counted += kPollStepMs;
        if (counted >= budgetMs) break;
        clock.Wait(std::chrono::milliseconds(kPollStepMs));
    }
    budgetMs = static_cast<uint32_t>(std::min<uint64_t>(counted, std::numeric_limits<uint32_t>::max()));
    return received;
}

Status DiscoverUnits(DatagramSocket& socket, PollClock& clock, uint32_t* count, DeviceRecord* records,
                     uint32_t timeoutMs) {
    if (count == nullptr) return Status::Failure(text::kNullCount);
    SocketCloser closer(socket);
    if (Status status = Checked(socket.Create(), text::kCouldNotCreateSocket); !status.ok()) return status;
    if (Status status = Checked(socket.EnableBroadcast(), text::kCouldNotSetOptions); !status.ok()) return status;
    MessageBuffer buffer{};
    if (Status status = Checked(SendDiscoverRequest(socket, buffer), text::kCouldNotSendMessage); !status.ok()) {
        return status;
    }

    const uint32_t capacity = *count;
    *count = 0;
    std::unordered_set<uint32_t> seenSerials;
    uint64_t countedTotal = 0;
    const auto started = clock.Now();
    const auto runawayLimit = RunawayLimit(timeoutMs);
    do {
        uint32_t counted = kDiscoveryPollBudgetMs;
        const SocketResult received = ReceivePolled(socket, clock, buffer.data(), buffer.size(), counted);
        if (received.ok()) {
            // Each reply starts from a zeroed record, and a datagram without a serial is no unit.
            DeviceRecord reply;
            const bool isUnit = ParseDeviceReply(std::string_view(buffer.data(), received.bytes), reply);
            if (isUnit && seenSerials.insert(reply.serial).second) {
                ++*count;
                if (records != nullptr && *count <= capacity) records[*count - 1] = reply;
            }
        } else if (received.error != kWsaEWouldBlock) {
            return Status::SocketFailure(text::kReceiveError, received.error);
        }
        // A poll that delivered a datagram counts only the attempts before it.
        countedTotal += counted;
    } while (countedTotal < timeoutMs && clock.Now() - started <= runawayLimit);
    return {};
}

Status GetFirstConfig(DatagramSocket& socket, PollClock& clock, DeviceRecord* record, uint32_t timeoutMs) {
    if (record == nullptr) return Status::Failure(text::kNullRecord);
    SocketCloser closer(socket);
    // Creation is not tested here: a socket that was not created fails the option with WSAENOTSOCK.
    socket.Create();
    if (Status status = Checked(socket.EnableBroadcast(), text::kCouldNotSetOptions); !status.ok()) return status;
    MessageBuffer buffer{};
    if (Status status = Checked(SendDiscoverRequest(socket, buffer), text::kCouldNotSendMessage); !status.ok()) {
        return status;
    }

    uint32_t remaining = timeoutMs;
    const auto started = clock.Now();
    const auto runawayLimit = RunawayLimit(timeoutMs);
    for (;;) {
        uint32_t counted = remaining;
        const SocketResult received = ReceivePolled(socket, clock, buffer.data(), buffer.size(), counted);
        // Nothing arrived within the time-out: success, with the record as it was.
        if (received.error == kWsaEWouldBlock) return {};
        if (!received.ok()) return Status::SocketFailure(text::kReceiveError, received.error);
        DeviceRecord reply;
        if (ParseDeviceReply(std::string_view(buffer.data(), received.bytes), reply)) {
            *record = reply;
            return {};
        }
        // Not a unit's reply: listen on for the rest of the time-out. A datagram found on attempt
        // k counts 20 * (k - 1), always less than the allowance, so this cannot wrap.
        remaining -= counted;
        if (clock.Now() - started > runawayLimit) return {};
    }
}

Status SendSetConfig(DatagramSocket& socket, const DeviceRecord* record) {
    if (record == nullptr) return Status::Failure(text::kNullRecord);
    SocketCloser closer(socket);
    // Creation is not tested here: a socket that was not created fails the option with WSAENOTSOCK.
    socket.Create();
    if (Status status = Checked(socket.EnableBroadcast(), text::kCouldNotSetOptions); !status.ok()) return status;
    MessageBuffer buffer{};
    const std::size_t length = FormatSetConfig(buffer, *record);
    return Checked(socket.SendBroadcast(buffer.data(), length, kUnitPort), text::kCouldNotSendMessage);
}

Status DiscoverUnits(uint32_t* count, DeviceRecord* records, uint32_t timeoutMs) {
    PosixDatagramSocket socket;
    SteadyPollClock clock;
    return DiscoverUnits(socket, clock, count, records, timeoutMs);
}

Status GetFirstConfig(DeviceRecord* record, uint32_t timeoutMs) {
    PosixDatagramSocket socket;
    SteadyPollClock clock;
    return GetFirstConfig(socket, clock, record, timeoutMs);
}

Status SendSetConfig(const DeviceRecord* record) {
    PosixDatagramSocket socket;
    return SendSetConfig(socket, record);
}

}  // namespace varl
