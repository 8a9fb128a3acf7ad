#include "udp_exchanges.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_set>

#include "last_error.h"
#include "messages.h"
#include "socket_errors.h"

namespace varl {
namespace {

constexpr const char* kCouldNotCreateSocket = "Communications error. Could not create socket.";
constexpr const char* kCouldNotSetOptions = "Communications error. Could not set socket options.";
constexpr const char* kCouldNotSend = "Communications error. Could not send message.";
constexpr const char* kReceiveError = "Communications error. Receive error.";
constexpr const char* kNullCount = "Argument error. The count pointer is null.";
constexpr const char* kNullRecord = "Argument error. The record pointer is null.";

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

bool FailWithSocketError(const char* message) {
    SetSocketErrorText(message);
    return false;
}

// The request is built in the exchange's receive buffer with a terminating zero, which is not sent.
bool SendDiscoverRequest(DatagramSocket& socket, MessageBuffer& buffer) {
    std::memcpy(buffer.data(), kDiscoverRequest.data(), kDiscoverRequest.size());
    buffer[kDiscoverRequest.size()] = '\0';
    return socket.SendBroadcast(buffer.data(), kDiscoverRequest.size(), kUnitPort) != -1;
}

// Counted time is the normal end of every exchange, but it stands still while datagrams keep
// arriving. Past this much real time a flooded exchange ends anyway; a normal one, whose waits
// overrun their 20 ms only slightly, never comes near it.
std::chrono::milliseconds RunawayLimit(uint32_t timeoutMs) {
    return std::chrono::milliseconds(2 * static_cast<int64_t>(timeoutMs) + 1000);
}

}  // namespace

long ReceivePolled(DatagramSocket& socket, PollClock& clock, char* buffer, std::size_t size,
                   uint32_t& budgetMs) {
    // 64 bits, so that a budget near 2^32 cannot wrap the count and never be reached.
    uint64_t counted = 0;
    long received;
    for (;;) {
        received = socket.ReceiveFrom(buffer, size);
        if (received != -1 || LastSocketError() != kWsaEWouldBlock) break;
        counted += kPollStepMs;
        if (counted >= budgetMs) break;
        clock.Wait(std::chrono::milliseconds(kPollStepMs));
    }
    budgetMs = static_cast<uint32_t>(std::min<uint64_t>(counted, std::numeric_limits<uint32_t>::max()));
    return received;
}

bool DiscoverUnits(DatagramSocket& socket, PollClock& clock, uint32_t* count, DeviceRecord* records,
                   uint32_t timeoutMs) {
    if (count == nullptr) {
        SetLastErrorText(kNullCount);
        return false;
    }
    SocketCloser closer(socket);
    if (!socket.Create()) return FailWithSocketError(kCouldNotCreateSocket);
    if (!socket.EnableBroadcast()) return FailWithSocketError(kCouldNotSetOptions);
    MessageBuffer buffer{};
    if (!SendDiscoverRequest(socket, buffer)) return FailWithSocketError(kCouldNotSend);

    const uint32_t capacity = *count;
    *count = 0;
    std::unordered_set<uint32_t> seenSerials;
    uint64_t countedTotal = 0;
    const auto started = clock.Now();
    const auto runawayLimit = RunawayLimit(timeoutMs);
    do {
        uint32_t counted = kDiscoveryPollBudgetMs;
        const long received = ReceivePolled(socket, clock, buffer.data(), buffer.size(), counted);
        if (received == -1) {
            if (LastSocketError() != kWsaEWouldBlock) return FailWithSocketError(kReceiveError);
        } else {
            // Each reply starts from a zeroed record, and a datagram without a serial is no unit.
            DeviceRecord reply;
            const bool isUnit =
                ParseDeviceReply(std::string_view(buffer.data(), static_cast<std::size_t>(received)), reply);
            if (isUnit && seenSerials.insert(reply.serial).second) {
                ++*count;
                if (records != nullptr && *count <= capacity) records[*count - 1] = reply;
            }
        }
        // A poll that delivered a datagram counts only the attempts before it.
        countedTotal += counted;
    } while (countedTotal < timeoutMs && clock.Now() - started <= runawayLimit);
    return true;
}

bool GetFirstConfig(DatagramSocket& socket, PollClock& clock, DeviceRecord* record, uint32_t timeoutMs) {
    if (record == nullptr) {
        SetLastErrorText(kNullRecord);
        return false;
    }
    SocketCloser closer(socket);
    // Creation is not tested here: a socket that was not created fails the option with WSAENOTSOCK.
    socket.Create();
    if (!socket.EnableBroadcast()) return FailWithSocketError(kCouldNotSetOptions);
    MessageBuffer buffer{};
    if (!SendDiscoverRequest(socket, buffer)) return FailWithSocketError(kCouldNotSend);

    uint32_t remaining = timeoutMs;
    const auto started = clock.Now();
    const auto runawayLimit = RunawayLimit(timeoutMs);
    for (;;) {
        uint32_t counted = remaining;
        const long received = ReceivePolled(socket, clock, buffer.data(), buffer.size(), counted);
        if (received == -1) {
            // Nothing arrived within the time-out: true, with the record as it was.
            if (LastSocketError() == kWsaEWouldBlock) return true;
            return FailWithSocketError(kReceiveError);
        }
        DeviceRecord reply;
        if (ParseDeviceReply(std::string_view(buffer.data(), static_cast<std::size_t>(received)), reply)) {
            *record = reply;
            return true;
        }
        // Not a unit's reply: listen on for the rest of the time-out. A datagram found on attempt
        // k counts 20 * (k - 1), always less than the allowance, so this cannot wrap.
        remaining -= counted;
        if (clock.Now() - started > runawayLimit) return true;
    }
}

bool SendSetConfig(DatagramSocket& socket, const DeviceRecord* record) {
    if (record == nullptr) {
        SetLastErrorText(kNullRecord);
        return false;
    }
    SocketCloser closer(socket);
    // Creation is not tested here: a socket that was not created fails the option with WSAENOTSOCK.
    socket.Create();
    if (!socket.EnableBroadcast()) return FailWithSocketError(kCouldNotSetOptions);
    MessageBuffer buffer{};
    const std::size_t length = FormatSetConfig(buffer, *record);
    if (socket.SendBroadcast(buffer.data(), length, kUnitPort) == -1) return FailWithSocketError(kCouldNotSend);
    return true;
}

bool DiscoverUnits(uint32_t* count, DeviceRecord* records, uint32_t timeoutMs) {
    PosixDatagramSocket socket;
    SteadyPollClock clock;
    return DiscoverUnits(socket, clock, count, records, timeoutMs);
}

bool GetFirstConfig(DeviceRecord* record, uint32_t timeoutMs) {
    PosixDatagramSocket socket;
    SteadyPollClock clock;
    return GetFirstConfig(socket, clock, record, timeoutMs);
}

bool SendSetConfig(const DeviceRecord* record) {
    PosixDatagramSocket socket;
    return SendSetConfig(socket, record);
}

}  // namespace varl
