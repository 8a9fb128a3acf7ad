// A DatagramSocket that plays a script instead of touching the network, and a PollClock that
// counts waits and moves a fake monotonic time, so exchanges run without sleeping.
#pragma once

#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "datagram_socket.h"
#include "poll_clock.h"
#include "socket_errors.h"
#include "status.h"

namespace varl::testing {

class FakePollClock final : public PollClock {
public:
    void Wait(std::chrono::milliseconds duration) override {
        waits.push_back(duration);
        now += duration + waitOverrun;
    }
    std::chrono::steady_clock::time_point Now() override { return now; }

    // Every wait asked for, in order.
    std::vector<std::chrono::milliseconds> waits;
    // Real time that each wait takes beyond what it asked for.
    std::chrono::milliseconds waitOverrun{0};
    std::chrono::steady_clock::time_point now{};
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

    SocketResult SendBroadcast(const char* bytes, std::size_t length, uint16_t port) override {
        if (!created) return {kWsaENotSock};
        if (sendError != kWsaNoError) return {sendError};
        sent.emplace_back(bytes, length);
        sentPorts.push_back(port);
        return {kWsaNoError, length};
    }

    SocketResult ReceiveFrom(char* buffer, std::size_t size) override {
        ++attempts;
        if (onReceive) onReceive();
        ScriptedReceive next = ScriptedReceive::Nothing();
        if (!script.empty()) {
            next = script.front();
            script.pop_front();
        } else if (endless) {
            next = *endless;
        }
        if (next.error != kWsaNoError) return {next.error};
        if (next.datagram.size() > size) return {kWsaEMsgSize};
        std::memcpy(buffer, next.datagram.data(), next.datagram.size());
        return {kWsaNoError, next.datagram.size()};
    }

    void Close() override {
        if (created) ++closes;
        created = false;
    }

    // Set up by the test.
    int createError = kWsaNoError;
    int broadcastError = kWsaNoError;
    int sendError = kWsaNoError;
    std::deque<ScriptedReceive> script;  // then nothing, or `endless` for ever
    std::optional<ScriptedReceive> endless;
    std::function<void()> onReceive;

    // Observed.
    int creates = 0;
    int closes = 0;
    int attempts = 0;
    bool created = false;
    bool broadcastEnabled = false;
    std::vector<std::string> sent;
    std::vector<uint16_t> sentPorts;
};

// The text a caller would read for status: empty for success.
inline std::string TextOf(const Status& status) {
    char text[200];
    status.Describe(text, sizeof text);
    return text;
}

}  // namespace varl::testing
