#include "udp_exchanges.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_set>

#include "dotted_quad.h"
#include "failure_texts.h"
#include "messages.h"

namespace varl {
namespace {

using Clock = std::chrono::steady_clock;

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

// Success for a step that succeeded, else the failure read as "MESSAGE (NAME)".
Status Checked(const SocketResult& step, const char* message) {
    return step.ok() ? Status() : Status::SocketFailure(message, step.error);
}

// "WSAENETDOWN (Network is down)" for the trace: the name the last-error text would carry and
// what the system said.
void TraceFailure(const Trace& trace, const char* what, const SocketResult& failure) {
    if (!trace.on()) return;
    const std::string_view name = SocketErrorName(failure.error);
    // strerror may share one buffer between threads whose calls overlap; the GNU strerror_r
    // writes into this one, or returns a text of its own.
    char buffer[128];
    trace.Line("%s failed: %.*s%s%s%s", what, static_cast<int>(name.size()), name.data(),
               failure.systemError != 0 ? " (" : "",
               failure.systemError != 0 ? strerror_r(failure.systemError, buffer, sizeof buffer) : "",
               failure.systemError != 0 ? ")" : "");
}

// Sends the datagram once out of every interface that can carry it, or, where none can, once by
// the interface the routing table picks. Fails only when every send failed, with the error of
// the last.
Status Broadcast(Exchange& exchange, const char* bytes, std::size_t length) {
    const Trace& trace = exchange.settings.trace;
    const InterfaceChoice choice = ChooseInterfaces(exchange.interfaces.List(), exchange.settings.interfaces, trace);
    if (choice.wantedNoneUsable) return Status::Failure(text::kNoUsableInterface);
    if (choice.chosen.empty()) {
        const SocketResult sent = exchange.socket.SendBroadcast(bytes, length, kUnitPort, nullptr);
        if (sent.ok()) {
            trace.Line("sent %zu bytes to 255.255.255.255:%u by the routing table (no interface qualifies)", length,
                       kUnitPort);
        } else {
            TraceFailure(trace, "sending by the routing table", sent);
        }
        return Checked(sent, text::kCouldNotSendMessage);
    }
    bool anySent = false;
    SocketResult lastFailure;
    for (const NetworkInterface& via : choice.chosen) {
        const SocketResult sent = exchange.socket.SendBroadcast(bytes, length, kUnitPort, &via);
        if (sent.ok()) {
            anySent = true;
        } else {
            lastFailure = sent;
        }
        if (!trace.on()) continue;
        const AddressText source(via.address);
        if (sent.ok()) {
            trace.Line("sent %zu bytes to 255.255.255.255:%u on %s from %s", length, kUnitPort, via.name.c_str(),
                       source.text);
        } else {
            TraceFailure(trace, ("sending on " + via.name + " from " + source.text).c_str(), sent);
        }
    }
    return anySent ? Status() : Status::SocketFailure(text::kCouldNotSendMessage, lastFailure.error);
}

// Fails, before anything is sent, when VARL_TARGETS cannot be read.
Status ReadTargets(const Exchange& exchange, TargetList& targets) {
    targets = ParseTargetList(exchange.settings.targets);
    if (targets.ok()) return {};
    const bool tooWide = targets.error == TargetList::Error::kTooWide;
    exchange.settings.trace.Line("VARL_TARGETS: \"%.*s\" is %s", static_cast<int>(targets.badEntry.size()),
                                 targets.badEntry.data(), tooWide ? "a range wider than /16" : "no address or range");
    return Status::Failure(tooWide ? text::kTargetRangeTooWide : text::kMalformedTargets);
}

// Waits, the socket unread, until deadline.
void WaitUntil(Exchange& exchange, std::chrono::steady_clock::time_point deadline) {
    for (auto now = exchange.clock.Now(); now < deadline; now = exchange.clock.Now()) {
        if (!exchange.socket.WaitReadable(deadline - now)) continue;
        // Nothing is expected here; a stray datagram would keep the wait from sleeping.
        MessageBuffer scratch;
        (void)exchange.socket.ReceiveFrom(scratch.data(), scratch.size());
    }
}

// The request is built in the exchange's receive buffer with a terminating zero, which is not sent.
Status BroadcastDiscoverRequest(Exchange& exchange, MessageBuffer& buffer) {
    std::memcpy(buffer.data(), kDiscoverRequest.data(), kDiscoverRequest.size());
    buffer[kDiscoverRequest.size()] = '\0';
    return Broadcast(exchange, buffer.data(), kDiscoverRequest.size());
}

// What the last discovery request left to compare with: the datagrams received and the kernel's
// count of drops when it went out.
struct RequestMark {
    uint32_t datagrams = 0;
    uint32_t dropped = 0;
};

// Sends the discovery request again when the kernel dropped datagrams since the last one, for
// want of room in the receive buffer, unless every unit is counted already: each unit answers a
// request once, so when the units counted are at least the answers to the last request (those
// received and those dropped), none is missing. A send that fails is in the trace; the discovery
// goes on with the units it has.
void AskAgainAfterDrops(Exchange& exchange, MessageBuffer& buffer, TargetSends& targets, RequestMark& mark,
                        uint32_t unitsSoFar) {
    const uint32_t dropped = exchange.socket.DroppedDatagrams();
    if (dropped <= mark.dropped) return;
    const uint64_t answers = uint64_t{exchange.tally.datagrams - mark.datagrams} + (dropped - mark.dropped);
    if (unitsSoFar >= answers) return;
    exchange.settings.trace.Line(
        "the kernel dropped %u of %llu datagrams since request %u, %u units counted so far: asking again",
        dropped - mark.dropped, static_cast<unsigned long long>(answers), exchange.tally.requests, unitsSoFar);
    ++exchange.tally.requests;
    mark = {exchange.tally.datagrams, dropped};
    (void)BroadcastDiscoverRequest(exchange, buffer);
    targets.Start(kDiscoverRequest.data(), kDiscoverRequest.size());
}

// Counted time is the normal end of every exchange, but it stands still while datagrams keep
// arriving. Past this much real time a flooded exchange ends anyway; a normal one, whose waits
// overrun their 20 ms only slightly, never comes near it.
std::chrono::milliseconds RunawayLimit(uint32_t timeoutMs) {
    return std::chrono::milliseconds(2 * static_cast<int64_t>(timeoutMs) + 1000);
}

}  // namespace

CallSettings CallSettings::FromEnvironment() {
    const char* interfaces = std::getenv("VARL_INTERFACES");
    const char* targets = std::getenv("VARL_TARGETS");
    return {interfaces != nullptr ? interfaces : "", targets != nullptr ? targets : "", Trace::FromEnvironment()};
}

void TargetSends::Start(const char* bytes, std::size_t length) {
    bytes_ = bytes;
    length_ = length;
    cursor_.Restart();
    nextDue_ = exchange_.clock.Now();
}

void TargetSends::SendDue() {
    const auto now = exchange_.clock.Now();
    if (!Busy() || now < nextDue_) return;
    const Trace& trace = exchange_.settings.trace;
    uint32_t address = 0;
    for (uint32_t sent = 0; sent < kTargetsPerGroup && cursor_.Next(address); ++sent) {
        const SocketResult result = exchange_.socket.SendTo(bytes_, length_, address, kUnitPort);
        if (!trace.on()) continue;
        const AddressText to(address);
        if (result.ok()) {
            trace.Line("sent %zu bytes to %s:%u", length_, to.text, kUnitPort);
        } else {
            TraceFailure(trace, (std::string("sending to ") + to.text).c_str(), result);
        }
    }
    // From now, not from when the group was due: a late group is no reason for a quicker one.
    nextDue_ = now + kTargetGroupInterval;
}

PollingReceiver::~PollingReceiver() {
    ExchangeTally& tally = exchange_.tally;
    tally.droppedByKernel = exchange_.socket.DroppedDatagrams();
    exchange_.settings.trace.Line("received %u datagrams in %u attempts and %u waits of 20 ms; the kernel dropped %u",
                                  tally.datagrams, tally.attempts, tally.waits, tally.droppedByKernel);
}

SocketResult PollingReceiver::Poll(char* buffer, std::size_t size, uint32_t& budgetMs) {
    // 64 bits, so that a budget near 2^32 cannot wrap the count and never be reached.
    uint64_t counted = 0;
    for (;;) {
        SocketResult received = TakeArrivalBefore(nextAttempt_, buffer, size);
        if (received.error == kWsaEWouldBlock) {
            ++exchange_.tally.attempts;
            received = Receive(buffer, size);
            if (received.error == kWsaEWouldBlock) {
                counted += kPollStepMs;
                if (counted < budgetMs) {
                    ++exchange_.tally.waits;
                    nextAttempt_ = exchange_.clock.Now() + std::chrono::milliseconds(kPollStepMs);
                    continue;
                }
            }
        }
        budgetMs = static_cast<uint32_t>(std::min<uint64_t>(counted, std::numeric_limits<uint32_t>::max()));
        return received;
    }
}

SocketResult PollingReceiver::TakeArrivalBefore(Clock::time_point deadline, char* buffer, std::size_t size) {
    for (;;) {
        if (targets_ != nullptr) targets_->SendDue();
        const Clock::time_point now = exchange_.clock.Now();
        if (now >= deadline) return {kWsaEWouldBlock};
        const Clock::time_point until =
            targets_ != nullptr && targets_->Busy() ? std::min(deadline, targets_->NextDue()) : deadline;
        if (!exchange_.socket.WaitReadable(until - now)) continue;
        const SocketResult received = Receive(buffer, size);
        if (received.error != kWsaEWouldBlock) return received;
    }
}

SocketResult PollingReceiver::Receive(char* buffer, std::size_t size) {
    const SocketResult received = exchange_.socket.ReceiveFrom(buffer, size);
    if (received.ok()) {
        ++exchange_.tally.datagrams;
        exchange_.settings.trace.Received(received.peerAddress, received.peerPort, buffer, received.bytes);
    } else if (received.error != kWsaEWouldBlock) {
        TraceFailure(exchange_.settings.trace, "receiving", received);
    }
    return received;
}

Status DiscoverUnits(Exchange& exchange, uint32_t* count, DeviceRecord* records, uint32_t timeoutMs) {
    if (count == nullptr) return Status::Failure(text::kNullCount);
    exchange.settings.trace.Line("discovery, time-out %u ms", timeoutMs);
    TargetList targetList;
    if (Status status = ReadTargets(exchange, targetList); !status.ok()) return status;
    DatagramSocket& socket = exchange.socket;
    SocketCloser closer(socket);
    if (Status status = Checked(socket.Create(), text::kCouldNotCreateSocket); !status.ok()) return status;
    if (Status status = Checked(socket.EnableBroadcast(), text::kCouldNotSetOptions); !status.ok()) return status;
    if (exchange.settings.trace.on()) {
        const DatagramSocket::ReceiveBuffer granted = socket.ReceiveBufferGranted();
        exchange.settings.trace.Line("receive buffer %d bytes%s", granted.bytes,
                                     granted.forced ? ", forced past net.core.rmem_max" : "");
    }
    MessageBuffer buffer{};
    if (Status status = BroadcastDiscoverRequest(exchange, buffer); !status.ok()) return status;
    exchange.tally.requests = 1;
    TargetSends targets(exchange, targetList.ranges);
    targets.Start(kDiscoverRequest.data(), kDiscoverRequest.size());

    const uint32_t capacity = *count;
    *count = 0;
    RequestMark mark;
    std::unordered_set<uint32_t> seenSerials;
    uint64_t countedTotal = 0;
    auto started = exchange.clock.Now();
    const auto runawayLimit = RunawayLimit(timeoutMs);
    PollingReceiver receiver(exchange, &targets);
    for (;;) {
        uint32_t counted = kDiscoveryPollBudgetMs;
        const SocketResult received = receiver.Poll(buffer.data(), buffer.size(), counted);
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
        // Counted time, and the guard's real time, start once the request has gone to every target.
        if (targets.Busy()) {
            started = exchange.clock.Now();
            continue;
        }
        // A poll that delivered a datagram counts only the attempts before it.
        countedTotal += counted;
        // A poll that found nothing: the burst of replies, if there was one, is over.
        if (received.error == kWsaEWouldBlock && countedTotal < timeoutMs &&
            exchange.tally.requests < kMostDiscoveryRequests) {
            AskAgainAfterDrops(exchange, buffer, targets, mark, *count);
            if (targets.Busy()) continue;
        }
        if (countedTotal >= timeoutMs || exchange.clock.Now() - started > runawayLimit) return {};
    }
}

Status GetFirstConfig(Exchange& exchange, DeviceRecord* record, uint32_t timeoutMs) {
    if (record == nullptr) return Status::Failure(text::kNullRecord);
    exchange.settings.trace.Line("get-config, time-out %u ms", timeoutMs);
    DatagramSocket& socket = exchange.socket;
    SocketCloser closer(socket);
    // Creation is not tested here: a socket that was not created fails the option with WSAENOTSOCK.
    socket.Create();
    if (Status status = Checked(socket.EnableBroadcast(), text::kCouldNotSetOptions); !status.ok()) return status;
    MessageBuffer buffer{};
    if (Status status = BroadcastDiscoverRequest(exchange, buffer); !status.ok()) return status;

    uint32_t remaining = timeoutMs;
    const auto started = exchange.clock.Now();
    const auto runawayLimit = RunawayLimit(timeoutMs);
    PollingReceiver receiver(exchange);
    for (;;) {
        uint32_t counted = remaining;
        const SocketResult received = receiver.Poll(buffer.data(), buffer.size(), counted);
        // Nothing arrived within the time-out: success, with the record as it was.
        if (received.error == kWsaEWouldBlock) return {};
        if (!received.ok()) return Status::SocketFailure(text::kReceiveError, received.error);
        DeviceRecord reply;
        if (ParseDeviceReply(std::string_view(buffer.data(), received.bytes), reply)) {
            *record = reply;
            return {};
        }
        // Not a unit's reply: listen on for the rest of the time-out. A datagram after k attempts
        // that found nothing counts 20 * k, always less than the allowance, so this cannot wrap.
        remaining -= counted;
        if (exchange.clock.Now() - started > runawayLimit) return {};
    }
}

Status SendSetConfig(Exchange& exchange, const DeviceRecord* record) {
    if (record == nullptr) return Status::Failure(text::kNullRecord);
    exchange.settings.trace.Line("set-config for serial %X", record->serial);
    TargetList targetList;
    if (Status status = ReadTargets(exchange, targetList); !status.ok()) return status;
    DatagramSocket& socket = exchange.socket;
    SocketCloser closer(socket);
    // Creation is not tested here: a socket that was not created fails the option with WSAENOTSOCK.
    socket.Create();
    if (Status status = Checked(socket.EnableBroadcast(), text::kCouldNotSetOptions); !status.ok()) return status;
    MessageBuffer buffer{};
    const std::size_t length = FormatSetConfig(buffer, *record);
    if (Status status = Broadcast(exchange, buffer.data(), length); !status.ok()) return status;
    TargetSends targets(exchange, targetList.ranges);
    for (targets.Start(buffer.data(), length); targets.Busy(); WaitUntil(exchange, targets.NextDue())) {
        targets.SendDue();
    }
    return {};
}

namespace {

// Runs an exchange on the system's socket, clock and interfaces with the environment's settings.
template <typename Run>
Status OnTheSystem(Run&& run) {
    PosixDatagramSocket socket;
    SteadyPollClock clock;
    SystemInterfaceList interfaces;
    Exchange exchange{socket, clock, interfaces, CallSettings::FromEnvironment(), {}};
    return run(exchange);
}

}  // namespace

Status DiscoverUnits(uint32_t* count, DeviceRecord* records, uint32_t timeoutMs) {
    return OnTheSystem([&](Exchange& exchange) { return DiscoverUnits(exchange, count, records, timeoutMs); });
}

Status GetFirstConfig(DeviceRecord* record, uint32_t timeoutMs) {
    return OnTheSystem([&](Exchange& exchange) { return GetFirstConfig(exchange, record, timeoutMs); });
}

Status SendSetConfig(const DeviceRecord* record) {
    return OnTheSystem([&](Exchange& exchange) { return SendSetConfig(exchange, record); });
}

}  // namespace varl
