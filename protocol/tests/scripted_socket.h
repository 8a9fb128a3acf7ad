// Stand-ins for the network of one exchange: a DatagramSocket that plays a script instead of
// touching the network, a PollClock whose time only the script moves, and an interface list the
// test writes. Exchanges run on them without sleeping.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "datagram_socket.h"
#include "dotted_quad.h"
#include "network_interfaces.h"
#include "poll_clock.h"
#include "socket_errors.h"
#include "status.h"
#include "trace.h"
#include "udp_exchanges.h"

namespace varl::testing {

class FakePollClock final : public PollClock {
public:
    std::chrono::steady_clock::time_point Now() override { return now; }

    // Time since the start of the test.
    std::chrono::milliseconds Elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    }

    std::chrono::steady_clock::time_point now{};
    // Real time that each wait on the socket that runs out takes beyond its time-out.
    std::chrono::milliseconds waitOverrun{0};
};

// What one receive attempt finds.
struct ScriptedReceive {
    std::string datagram;  // used when error is kWsaNoError
    int error = kWsaNoError;

    static ScriptedReceive Datagram(std::string bytes) { return {std::move(bytes), kWsaNoError}; }
    static ScriptedReceive Error(int code) { return {{}, code}; }
    static ScriptedReceive Nothing() { return Error(kWsaEWouldBlock); }
};

class ScriptedSocket final : public DatagramSocket {
public:
    explicit ScriptedSocket(FakePollClock& clock) : clock_(clock) {}

    SocketResult Create() override {
        ++creates;
        if (createError != kWsaNoError) return {createError};
        created = true;
        return {};
    }

    SocketResult EnableBroadcast() override {
        if (!created) return {kWsaENotSock};
        if (broadcastError != kWsaNoError) return {broadcastError};
        broadcastEnabled = true;
        return {};
    }

    SocketResult SendBroadcast(const char* bytes, std::size_t length, uint16_t port,
                               const NetworkInterface* via) override {
        if (!created) return {kWsaENotSock};
        const std::string name = via != nullptr ? via->name : "";
        const auto failure = sendErrors.find(name);
        const int error = failure != sendErrors.end() ? failure->second : sendError;
        sentBy.push_back(name);
        if (error != kWsaNoError) return {error};
        sent.emplace_back(bytes, length);
        sentPorts.push_back(port);
        if (onSend) onSend(sent.back());
        return {kWsaNoError, length};
    }

    SocketResult SendTo(const char* bytes, std::size_t length, uint32_t address, uint16_t port) override {
        if (!created) return {kWsaENotSock};
        const AddressText to(address);
        sentBy.push_back(to.text);
        sentTo.push_back(address);
        if (sendError != kWsaNoError) return {sendError};
        sent.emplace_back(bytes, length);
        sentPorts.push_back(port);
        sentToAt.push_back(clock_.Elapsed());
        if (onSend) onSend(sent.back());
        return {kWsaNoError, length};
    }

    // A datagram that has arrived by now comes first; then the script, attempt by attempt; then
    // nothing, or `endless` for ever.
    SocketResult ReceiveFrom(char* buffer, std::size_t size) override {
        ++receives;
        if (onReceive) onReceive();
        ScriptedReceive next = ScriptedReceive::Nothing();
        if (!arrivals.empty() && arrivals.begin()->first <= clock_.Elapsed()) {
            next = ScriptedReceive::Datagram(arrivals.begin()->second);
            arrivals.erase(arrivals.begin());
            takenAt.push_back(clock_.Elapsed());
        } else if (!script.empty()) {
            next = script.front();
            script.pop_front();
        } else if (endless) {
            next = *endless;
        }
        if (next.error == kWsaEWouldBlock) emptyReceivesAt.push_back(clock_.Elapsed());
        if (next.error != kWsaNoError) return {next.error};
        if (next.datagram.size() > size) return {kWsaEMsgSize};
        std::memcpy(buffer, next.datagram.data(), next.datagram.size());
        SocketResult received{kWsaNoError, next.datagram.size()};
        received.peerAddress = 0x0A4D000A;
        received.peerPort = 8001;
        return received;
    }

    // Returns at the first arrival within timeout, with the clock moved there; otherwise once
    // timeout (and the clock's overrun) has passed. The script's datagrams do not arrive: they
    // are what attempts find.
    bool WaitReadable(std::chrono::nanoseconds timeout) override {
        waits.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(timeout));
        const std::chrono::steady_clock::time_point end = clock_.now + timeout;
        if (!arrivals.empty()) {
            const std::chrono::steady_clock::time_point arrival(arrivals.begin()->first);
            if (arrival <= end) {
                clock_.now = std::max(clock_.now, arrival);
                return true;
            }
        }
        clock_.now = end + clock_.waitOverrun;
        return false;
    }

    uint32_t DroppedDatagrams() override { return droppedByKernel; }

    ReceiveBuffer ReceiveBufferGranted() override { return {425984, false}; }

    void Close() override {
        if (created) ++closes;
        created = false;
    }

    // count copies of datagram arrive at the given time since the start of the test.
    void ArriveAt(std::chrono::milliseconds at, const std::string& datagram, int count = 1) {
        for (int i = 0; i < count; ++i) arrivals.emplace(at, datagram);
    }

    // Set up by the test.
    int createError = kWsaNoError;
    int broadcastError = kWsaNoError;
    int sendError = kWsaNoError;                  // every send
    std::map<std::string, int> sendErrors;        // the sends out of one interface ("" for a plain send)
    std::deque<ScriptedReceive> script;           // what the receives find, one by one
    std::multimap<std::chrono::milliseconds, std::string> arrivals;
    std::optional<ScriptedReceive> endless;
    std::function<void()> onReceive;
    std::function<void(const std::string&)> onSend;  // after each send that succeeded, with its bytes
    uint32_t droppedByKernel = 0;

    // Observed.
    int creates = 0;
    int closes = 0;
    int receives = 0;
    bool created = false;
    bool broadcastEnabled = false;
    std::vector<std::string> sent;
    std::vector<uint16_t> sentPorts;
    std::vector<std::string> sentBy;  // each send's interface, "" for a plain send, the address for a unicast
    std::vector<uint32_t> sentTo;                          // each unicast's destination
    std::vector<std::chrono::milliseconds> sentToAt;       // when each unicast left
    std::vector<std::chrono::milliseconds> waits;          // each wait's time-out
    std::vector<std::chrono::milliseconds> emptyReceivesAt;  // when a receive found nothing
    std::vector<std::chrono::milliseconds> takenAt;          // when an arrival was taken

private:
    FakePollClock& clock_;
};

class ScriptedInterfaces final : public InterfaceList {
public:
    std::vector<NetworkInterface> List() override { return interfaces; }

    // An interface that can carry a broadcast.
    static NetworkInterface Usable(std::string name, unsigned index, uint32_t address) {
        NetworkInterface usable;
        usable.name = std::move(name);
        usable.index = index;
        usable.up = usable.running = usable.broadcast = usable.hasAddress = true;
        usable.address = address;
        return usable;
    }

    std::vector<NetworkInterface> interfaces;
};

// A trace written to a temporary file, to be read back.
class TraceCapture {
public:
    TraceCapture() : file_(std::tmpfile()) {}
    ~TraceCapture() { std::fclose(file_); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    Trace trace() const { return Trace(fileno(file_)); }

    std::string Text() const {
        std::string text;
        char chunk[4096];
        for (ssize_t length; (length = ::pread(fileno(file_), chunk, sizeof chunk, static_cast<off_t>(text.size()))) > 0;) {
            text.append(chunk, static_cast<std::size_t>(length));
        }
        return text;
    }

private:
    std::FILE* file_;
};

// The text a caller would read for status: empty for success.
inline std::string TextOf(const Status& status) {
    char text[200];
    status.Describe(text, sizeof text);
    return text;
}

}  // namespace varl::testing
