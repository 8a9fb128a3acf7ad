#include "udp_exchanges.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "device_record_testing.h"
#include "last_error.h"
#include "messages.h"
#include "scripted_socket.h"
#include "socket_errors.h"

namespace varl {
namespace {

using namespace std::chrono_literals;
using testing::FakePollClock;
using testing::FilledRecord;
using testing::MakeRecord;
using testing::ScriptedReceive;
using testing::ScriptedSocket;

std::string Reply(uint32_t serial, const char* chip = "QX-100") {
    char text[80];
    std::snprintf(text, sizeof text, "%X 0 10.77.0.10 255.255.0.0 10.77.0.1 %s", serial, chip);
    return text;
}

DeviceRecord ReplyRecord(uint32_t serial, const char* chip = "QX-100") {
    return MakeRecord(serial, 0, 0x0A4D000Au, 0xFFFF0000u, 0x0A4D0001u, chip);
}

class ExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLastErrorText();
        SetLastSocketError(kWsaNoError);
    }

    void Queue(std::initializer_list<std::string> datagrams) {
        for (const std::string& datagram : datagrams) socket.script.push_back(ScriptedReceive::Datagram(datagram));
    }

    ScriptedSocket socket;
    FakePollClock clock;
};

// ---- ReceivePolled ----

struct PollRow {
    const char* name;
    uint32_t budget;
    std::vector<ScriptedReceive> script;
    long result;
    uint32_t counted;
    int attempts;
    int socketError;
};

class ReceivePolledTest : public ExchangeTest, public ::testing::WithParamInterface<PollRow> {};

TEST_P(ReceivePolledTest, CountsTwentyPerEmptyAttempt) {
    const PollRow& row = GetParam();
    socket.script.assign(row.script.begin(), row.script.end());
    ASSERT_TRUE(socket.Create());
    MessageBuffer buffer;
    uint32_t budget = row.budget;
    EXPECT_EQ(ReceivePolled(socket, clock, buffer.data(), buffer.size(), budget), row.result);
    EXPECT_EQ(budget, row.counted);
    EXPECT_EQ(socket.attempts, row.attempts);
    EXPECT_EQ(clock.waits, row.attempts - 1) << "no wait follows the last attempt";
    if (row.result == -1) {
        EXPECT_EQ(LastSocketError(), row.socketError);
    }
}

const ScriptedReceive kNothing = ScriptedReceive::Nothing();
const ScriptedReceive kThreeBytes = ScriptedReceive::Datagram("abc");

INSTANTIATE_TEST_SUITE_P(
    Rows, ReceivePolledTest,
    ::testing::Values(
        PollRow{"discovery_budget_nothing", 50, {}, -1, 60, 3, kWsaEWouldBlock},
        PollRow{"budget_0_one_attempt", 0, {}, -1, 20, 1, kWsaEWouldBlock},
        PollRow{"budget_20_one_attempt", 20, {}, -1, 20, 1, kWsaEWouldBlock},
        PollRow{"budget_21_two_attempts", 21, {}, -1, 40, 2, kWsaEWouldBlock},
        PollRow{"budget_2000", 2000, {}, -1, 2000, 100, kWsaEWouldBlock},
        PollRow{"datagram_at_once", 50, {kThreeBytes}, 3, 0, 1, kWsaNoError},
        PollRow{"datagram_on_third_attempt", 50, {kNothing, kNothing, kThreeBytes}, 3, 40, 3, kWsaNoError},
        PollRow{"empty_datagram", 50, {ScriptedReceive::Datagram("")}, 0, 0, 1, kWsaNoError},
        PollRow{"failure_on_second_attempt", 50, {kNothing, ScriptedReceive::Error(kWsaEConnReset)}, -1, 20,
                2, kWsaEConnReset},
        PollRow{"oversize_datagram", 50, {ScriptedReceive::Datagram(std::string(201, 'x'))}, -1, 0, 1,
                kWsaEMsgSize}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Discovery ----

using DiscoveryTest = ExchangeTest;

TEST_F(DiscoveryTest, NobodyAnsweringRuns34PollsOfThreeAttempts) {
    uint32_t count = 4;
    EXPECT_TRUE(DiscoverUnits(socket, clock, &count, nullptr, 2000));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(socket.attempts, 102);
    EXPECT_EQ(clock.waits, 68);
    EXPECT_EQ(socket.sent, std::vector<std::string>{"0 1"});
    EXPECT_EQ(socket.sentPorts, std::vector<uint16_t>{8001});
    EXPECT_TRUE(socket.broadcastEnabled);
    EXPECT_EQ(socket.closes, 1);
    EXPECT_EQ(LastErrorText(), "");
}

TEST_F(DiscoveryTest, PollCountFollowsTheTimeOut) {
    struct Row {
        uint32_t timeout;
        int polls;
    };
    for (const Row row : {Row{0, 1}, Row{1, 1}, Row{60, 1}, Row{61, 2}, Row{120, 2}, Row{121, 3}}) {
        ScriptedSocket fresh;
        FakePollClock freshClock;
        uint32_t count = 0;
        EXPECT_TRUE(DiscoverUnits(fresh, freshClock, &count, nullptr, row.timeout));
        EXPECT_EQ(fresh.attempts, 3 * row.polls) << "time-out " << row.timeout;
    }
}

TEST_F(DiscoveryTest, CapacityFourWithSixUnitsCopiesTheFirstFourAndCountsSix) {
    Queue({Reply(0x1A2B3), Reply(0x1B3C4), Reply(0x1C4D5), Reply(0x1D5E6), Reply(0x1E6F7), Reply(0x1F708)});
    std::array<DeviceRecord, 6> records;
    records.fill(FilledRecord(0xEE));
    uint32_t count = 4;
    EXPECT_TRUE(DiscoverUnits(socket, clock, &count, records.data(), 100));
    EXPECT_EQ(count, 6u);
    EXPECT_EQ(records[0], ReplyRecord(0x1A2B3));
    EXPECT_EQ(records[1], ReplyRecord(0x1B3C4));
    EXPECT_EQ(records[2], ReplyRecord(0x1C4D5));
    EXPECT_EQ(records[3], ReplyRecord(0x1D5E6));
    EXPECT_EQ(records[4], FilledRecord(0xEE));
    EXPECT_EQ(records[5], FilledRecord(0xEE));
}

TEST_F(DiscoveryTest, NullArrayOnlyCounts) {
    Queue({Reply(1), Reply(2), Reply(3)});
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(socket, clock, &count, nullptr, 100));
    EXPECT_EQ(count, 3u);
}

TEST_F(DiscoveryTest, EachDistinctSerialCountsOnce) {
    struct Row {
        const char* name;
        std::vector<uint32_t> serials;
        std::vector<uint32_t> counted;
    };
    const Row rows[] = {
        {"same_unit_twice", {0x1A2B3, 0x1A2B3}, {0x1A2B3}},
        {"serial_inside_an_earlier_one", {0x1A2B3, 0x2B3}, {0x1A2B3, 0x2B3}},
        {"serial_containing_an_earlier_one", {0x2B3, 0x1A2B3}, {0x2B3, 0x1A2B3}},
        {"prefix_of_an_earlier_one", {0x123, 0x12, 0x1, 0x12}, {0x123, 0x12, 0x1}},
        {"serial_zero", {0, 0x10, 0}, {0, 0x10}},
    };
    for (const Row& row : rows) {
        ScriptedSocket fresh;
        FakePollClock freshClock;
        for (uint32_t serial : row.serials) fresh.script.push_back(ScriptedReceive::Datagram(Reply(serial)));
        std::array<DeviceRecord, 4> records{};
        uint32_t count = 4;
        EXPECT_TRUE(DiscoverUnits(fresh, freshClock, &count, records.data(), 100));
        ASSERT_EQ(count, row.counted.size()) << row.name;
        for (std::size_t i = 0; i < row.counted.size(); ++i) {
            EXPECT_EQ(records[i].serial, row.counted[i]) << row.name << " record " << i;
        }
    }
}

TEST_F(DiscoveryTest, ShortReplyCarriesNothingFromTheUnitBefore) {
    Queue({Reply(0x1A2B3, "QX-100"), "2B3 1"});
    std::array<DeviceRecord, 2> records;
    records.fill(FilledRecord(0xEE));
    uint32_t count = 2;
    EXPECT_TRUE(DiscoverUnits(socket, clock, &count, records.data(), 100));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(records[0], ReplyRecord(0x1A2B3));
    EXPECT_EQ(records[1], MakeRecord(0x2B3, 1, 0, 0, 0, ""));
}

TEST_F(DiscoveryTest, DatagramWithoutSerialIsNoUnit) {
    Queue({"", "   ", "hello there", std::string("\0\0\0", 3), Reply(0x1A2B3)});
    std::array<DeviceRecord, 2> records;
    records.fill(FilledRecord(0xEE));
    uint32_t count = 2;
    EXPECT_TRUE(DiscoverUnits(socket, clock, &count, records.data(), 100));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(records[0], ReplyRecord(0x1A2B3));
    EXPECT_EQ(records[1], FilledRecord(0xEE));
}

TEST_F(DiscoveryTest, RepliesDoNotAdvanceCountedTime) {
    Queue({Reply(1), Reply(2), Reply(3), Reply(4), Reply(5)});
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(socket, clock, &count, nullptr, 60));
    EXPECT_EQ(count, 5u);
    // Five polls that each found a reply at once, then one that found nothing and counted 60.
    EXPECT_EQ(socket.attempts, 5 + 3);
    EXPECT_EQ(clock.waits, 2);
}

TEST_F(DiscoveryTest, ReceiveFailureKeepsTheUnitsSeen) {
    struct Row {
        const char* name;
        ScriptedReceive failure;
        const char* text;
    };
    const Row rows[] = {
        {"connection_reset", ScriptedReceive::Error(kWsaEConnReset),
         "Communications error. Receive error. (WSAECONNRESET)"},
        {"datagram_over_200_bytes", ScriptedReceive::Datagram(std::string(300, '1')),
         "Communications error. Receive error. (WSAEMSGSIZE)"},
        {"unlisted_error", ScriptedReceive::Error(kWsaUnmapped),
         "Communications error. Receive error. ((unknown socket error))"},
    };
    for (const Row& row : rows) {
        ScriptedSocket fresh;
        FakePollClock freshClock;
        fresh.script = {ScriptedReceive::Datagram(Reply(1)), ScriptedReceive::Nothing(),
                        ScriptedReceive::Datagram(Reply(2)), row.failure, ScriptedReceive::Datagram(Reply(3))};
        std::array<DeviceRecord, 4> records;
        records.fill(FilledRecord(0xEE));
        uint32_t count = 4;
        EXPECT_FALSE(DiscoverUnits(fresh, freshClock, &count, records.data(), 2000)) << row.name;
        EXPECT_EQ(count, 2u) << row.name;
        EXPECT_EQ(records[0], ReplyRecord(1)) << row.name;
        EXPECT_EQ(records[1], ReplyRecord(2)) << row.name;
        EXPECT_EQ(records[2], FilledRecord(0xEE)) << row.name;
        EXPECT_EQ(LastErrorText(), row.text);
        EXPECT_EQ(fresh.closes, 1) << row.name;
    }
}

TEST_F(DiscoveryTest, SetUpFailuresLeaveCountAndArrayAndNoSocket) {
    struct Row {
        const char* name;
        int createError, broadcastError, sendError;
        const char* text;
    };
    const Row rows[] = {
        {"creation", kWsaENetDown, kWsaNoError, kWsaNoError,
         "Communications error. Could not create socket. (WSAENETDOWN)"},
        {"broadcast_option", kWsaNoError, kWsaEInval, kWsaNoError,
         "Communications error. Could not set socket options. (WSAEINVAL)"},
        {"send", kWsaNoError, kWsaNoError, kWsaENetDown,
         "Communications error. Could not send message. (WSAENETDOWN)"},
    };
    for (const Row& row : rows) {
        ScriptedSocket fresh;
        FakePollClock freshClock;
        fresh.createError = row.createError;
        fresh.broadcastError = row.broadcastError;
        fresh.sendError = row.sendError;
        fresh.script = {ScriptedReceive::Datagram(Reply(1))};
        std::array<DeviceRecord, 1> records{FilledRecord(0xEE)};
        uint32_t count = 1;
        EXPECT_FALSE(DiscoverUnits(fresh, freshClock, &count, records.data(), 100)) << row.name;
        EXPECT_EQ(count, 1u) << row.name;
        EXPECT_EQ(records[0], FilledRecord(0xEE)) << row.name;
        EXPECT_EQ(LastErrorText(), row.text);
        EXPECT_TRUE(fresh.sent.empty()) << row.name;
        EXPECT_EQ(fresh.attempts, 0) << row.name;
        EXPECT_FALSE(fresh.created) << row.name << ": socket left open";
    }
}

TEST_F(DiscoveryTest, NullCountFailsWithoutASocket) {
    EXPECT_FALSE(DiscoverUnits(socket, clock, nullptr, nullptr, 100));
    EXPECT_EQ(LastErrorText(), "Argument error. The count pointer is null.");
    EXPECT_EQ(socket.creates, 0);
}

TEST_F(DiscoveryTest, FloodIsEndedByTheRunawayGuard) {
    // A peer that never stops sending: counted time stands still, one real millisecond passes
    // per datagram.
    socket.endless = ScriptedReceive::Datagram(Reply(0x1A2B3));
    socket.onReceive = [this] { clock.now += 1ms; };
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(socket, clock, &count, nullptr, 2000));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(clock.now.time_since_epoch(), 5001ms) << "twice the time-out plus one second";
    EXPECT_EQ(socket.closes, 1);
    EXPECT_EQ(LastErrorText(), "");
}

TEST_F(DiscoveryTest, RunawayGuardStaysQuietWhenWaitsOverrun) {
    // Each 20 ms wait takes 35 ms: discovery still ends on counted time.
    clock.waitOverrun = 15ms;
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(socket, clock, &count, nullptr, 2000));
    EXPECT_EQ(socket.attempts, 102);
}

TEST_F(DiscoveryTest, RunawayGuardStaysQuietDuringABurstOfAThousandUnits) {
    for (uint32_t i = 0; i < 1000; ++i) socket.script.push_back(ScriptedReceive::Datagram(Reply(0x10000 + i)));
    socket.onReceive = [this] { clock.now += 1ms; };
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(socket, clock, &count, nullptr, 2000));
    EXPECT_EQ(count, 1000u);
    EXPECT_EQ(socket.attempts, 1000 + 102);
}

// ---- Get-config ----

using GetConfigTest = ExchangeTest;

TEST_F(GetConfigTest, NobodyAnsweringLeavesRecordAndText) {
    SetLastErrorText("an earlier failure");
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(socket, clock, &record, 2000));
    EXPECT_EQ(record, FilledRecord(0xEE));
    EXPECT_EQ(LastErrorText(), "an earlier failure");
    EXPECT_EQ(socket.attempts, 100);
    EXPECT_EQ(clock.waits, 99);
    EXPECT_EQ(socket.sent, std::vector<std::string>{"0 1"});
    EXPECT_EQ(socket.closes, 1);
}

TEST_F(GetConfigTest, FirstReplyFillsTheRecord) {
    socket.script = {ScriptedReceive::Nothing(), ScriptedReceive::Datagram(Reply(0x1B3C4, "QX-200")),
                     ScriptedReceive::Datagram(Reply(0x1A2B3))};
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(socket, clock, &record, 2000));
    EXPECT_EQ(record, ReplyRecord(0x1B3C4, "QX-200"));
    EXPECT_EQ(socket.attempts, 2);
    EXPECT_EQ(socket.closes, 1);
}

TEST_F(GetConfigTest, DatagramWithoutSerialIsSkipped) {
    socket.script = {ScriptedReceive::Datagram(""), ScriptedReceive::Nothing(),
                     ScriptedReceive::Datagram("garbage"), ScriptedReceive::Datagram("2B3 1")};
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(socket, clock, &record, 2000));
    EXPECT_EQ(record, MakeRecord(0x2B3, 1, 0, 0, 0, ""));
}

TEST_F(GetConfigTest, NonUnitDatagramsUseUpTheTimeOut) {
    // 40 ms of nothing, a stray datagram, then nothing: 60 ms allow three empty attempts in all.
    socket.script = {ScriptedReceive::Nothing(), ScriptedReceive::Nothing(), ScriptedReceive::Datagram("?")};
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(socket, clock, &record, 60));
    EXPECT_EQ(record, FilledRecord(0xEE));
    EXPECT_EQ(socket.attempts, 4);
}

TEST_F(GetConfigTest, FloodOfStrayDatagramsIsEndedByTheRunawayGuard) {
    socket.endless = ScriptedReceive::Datagram("stray");
    socket.onReceive = [this] { clock.now += 1ms; };
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(socket, clock, &record, 100));
    EXPECT_EQ(record, FilledRecord(0xEE));
    EXPECT_EQ(clock.now.time_since_epoch(), 1201ms);
}

TEST_F(GetConfigTest, FailuresLeaveTheRecordAndNoSocket) {
    struct Row {
        const char* name;
        int createError, broadcastError, sendError;
        ScriptedReceive receive;
        const char* text;
    };
    const Row rows[] = {
        {"creation", kWsaENetDown, kWsaNoError, kWsaNoError, ScriptedReceive::Nothing(),
         "Communications error. Could not set socket options. (WSAENOTSOCK)"},
        {"broadcast_option", kWsaNoError, kWsaEInval, kWsaNoError, ScriptedReceive::Nothing(),
         "Communications error. Could not set socket options. (WSAEINVAL)"},
        {"send", kWsaNoError, kWsaNoError, kWsaENetDown, ScriptedReceive::Nothing(),
         "Communications error. Could not send message. (WSAENETDOWN)"},
        {"receive", kWsaNoError, kWsaNoError, kWsaNoError, ScriptedReceive::Error(kWsaEConnReset),
         "Communications error. Receive error. (WSAECONNRESET)"},
        {"datagram_over_200_bytes", kWsaNoError, kWsaNoError, kWsaNoError,
         ScriptedReceive::Datagram(std::string(201, '1')), "Communications error. Receive error. (WSAEMSGSIZE)"},
    };
    for (const Row& row : rows) {
        ScriptedSocket fresh;
        FakePollClock freshClock;
        fresh.createError = row.createError;
        fresh.broadcastError = row.broadcastError;
        fresh.sendError = row.sendError;
        fresh.script = {row.receive};
        DeviceRecord record = FilledRecord(0xEE);
        EXPECT_FALSE(GetFirstConfig(fresh, freshClock, &record, 100)) << row.name;
        EXPECT_EQ(record, FilledRecord(0xEE)) << row.name;
        EXPECT_EQ(LastErrorText(), row.text);
        EXPECT_FALSE(fresh.created) << row.name << ": socket left open";
    }
}

TEST_F(GetConfigTest, NullRecordFailsWithoutASocket) {
    EXPECT_FALSE(GetFirstConfig(socket, clock, nullptr, 100));
    EXPECT_EQ(LastErrorText(), "Argument error. The record pointer is null.");
    EXPECT_EQ(socket.creates, 0);
}

// ---- Set-config ----

using SetConfigTest = ExchangeTest;

TEST_F(SetConfigTest, BroadcastsTheMessageOnceWithoutItsZero) {
    const DeviceRecord record = MakeRecord(0x1A2B3, 0, 0xC0A8000Au, 0xFFFFFF00u, 0xC0A80001u, "QX-100");
    EXPECT_TRUE(SendSetConfig(socket, &record));
    EXPECT_EQ(socket.sent, std::vector<std::string>{"1A2B3 5 0 192.168.0.10 255.255.255.0 192.168.0.1"});
    EXPECT_EQ(socket.sentPorts, std::vector<uint16_t>{8001});
    EXPECT_TRUE(socket.broadcastEnabled);
    EXPECT_EQ(socket.attempts, 0) << "no reply is awaited";
    EXPECT_EQ(socket.closes, 1);
}

TEST_F(SetConfigTest, FailuresSendNothingAndLeaveNoSocket) {
    struct Row {
        const char* name;
        int createError, broadcastError, sendError;
        const char* text;
    };
    const Row rows[] = {
        {"creation", kWsaENetDown, kWsaNoError, kWsaNoError,
         "Communications error. Could not set socket options. (WSAENOTSOCK)"},
        {"broadcast_option", kWsaNoError, kWsaEFault, kWsaNoError,
         "Communications error. Could not set socket options. (WSAEFAULT)"},
        {"send", kWsaNoError, kWsaNoError, kWsaEMsgSize, "Communications error. Could not send message. (WSAEMSGSIZE)"},
    };
    const DeviceRecord record = MakeRecord(0x12A, 1, 0, 0, 0, "");
    for (const Row& row : rows) {
        ScriptedSocket fresh;
        fresh.createError = row.createError;
        fresh.broadcastError = row.broadcastError;
        fresh.sendError = row.sendError;
        EXPECT_FALSE(SendSetConfig(fresh, &record)) << row.name;
        EXPECT_EQ(LastErrorText(), row.text);
        EXPECT_TRUE(fresh.sent.empty()) << row.name;
        EXPECT_FALSE(fresh.created) << row.name << ": socket left open";
    }
}

TEST_F(SetConfigTest, NullRecordFailsWithoutASocket) {
    EXPECT_FALSE(SendSetConfig(socket, nullptr));
    EXPECT_EQ(LastErrorText(), "Argument error. The record pointer is null.");
    EXPECT_EQ(socket.creates, 0);
}

}  // namespace
}  // namespace varl
