#include "udp_exchanges.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "device_record_testing.h"
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
using testing::ScriptedInterfaces;
using testing::ScriptedSocket;
using testing::TraceCapture;
using testing::TextOf;

const auto kRowName = [](const auto& info) { return std::string(info.param.name); };

std::string Reply(uint32_t serial, const char* chip = "QX-100") {
    char text[80];
    std::snprintf(text, sizeof text, "%X 0 10.77.0.10 255.255.0.0 10.77.0.1 %s", serial, chip);
    return text;
}

DeviceRecord ReplyRecord(uint32_t serial, const char* chip = "QX-100") {
    return MakeRecord(serial, 0, 0x0A4D000Au, 0xFFFF0000u, 0x0A4D0001u, chip);
}

// Every wait is one poll step of 20 ms: shorter waits would end a discovery early in real time.
std::vector<std::chrono::milliseconds> PollWaits(int count) { return std::vector(count, 20ms); }

class ExchangeTest : public ::testing::Test {
protected:
    void Queue(std::initializer_list<std::string> datagrams) {
        for (const std::string& datagram : datagrams) socket.script.push_back(ScriptedReceive::Datagram(datagram));
    }

    FakePollClock clock;
    ScriptedSocket socket{clock};
    // None qualifies unless a test adds some: one plain send, as on a host without interfaces.
    ScriptedInterfaces interfaces;
    Exchange exchange{socket, clock, interfaces, {}, {}};
};

// A socket step that fails, and the text the exchange then gives.
struct StepFailureRow {
    const char* name;
    int createError = kWsaNoError;
    int broadcastError = kWsaNoError;
    int sendError = kWsaNoError;
    ScriptedReceive receive = ScriptedReceive::Nothing();
    const char* text = "";
};

class StepFailureTest : public ExchangeTest, public ::testing::WithParamInterface<StepFailureRow> {
protected:
    void SetUp() override {
        socket.createError = GetParam().createError;
        socket.broadcastError = GetParam().broadcastError;
        socket.sendError = GetParam().sendError;
        socket.script = {GetParam().receive};
    }
};

// ---- Polls ----

struct PollRow {
    const char* name;
    uint32_t budget;
    std::vector<ScriptedReceive> script;
    int error;
    std::size_t bytes;
    uint32_t counted;
    int attempts;
};

class PollTest : public ExchangeTest, public ::testing::WithParamInterface<PollRow> {};

TEST_P(PollTest, CountsTwentyPerEmptyAttemptAndWaitsTwentyBetween) {
    const PollRow& row = GetParam();
    socket.script.assign(row.script.begin(), row.script.end());
    ASSERT_TRUE(socket.Create().ok());
    MessageBuffer buffer;
    uint32_t budget = row.budget;
    PollingReceiver receiver(exchange);
    const SocketResult received = receiver.Poll(buffer.data(), buffer.size(), budget);
    EXPECT_EQ(received.error, row.error);
    EXPECT_EQ(received.bytes, row.bytes);
    EXPECT_EQ(budget, row.counted);
    EXPECT_EQ(socket.receives, row.attempts);
    EXPECT_EQ(socket.waits, PollWaits(row.attempts - 1)) << "no wait follows the last attempt";
}

const ScriptedReceive kNothing = ScriptedReceive::Nothing();
const ScriptedReceive kThreeBytes = ScriptedReceive::Datagram("abc");

INSTANTIATE_TEST_SUITE_P(
    Rows, PollTest,
    ::testing::Values(
        PollRow{"discovery_budget_nothing", 50, {}, kWsaEWouldBlock, 0, 60, 3},
        PollRow{"budget_0_one_attempt", 0, {}, kWsaEWouldBlock, 0, 20, 1},
        PollRow{"budget_20_one_attempt", 20, {}, kWsaEWouldBlock, 0, 20, 1},
        PollRow{"budget_21_two_attempts", 21, {}, kWsaEWouldBlock, 0, 40, 2},
        PollRow{"budget_2000", 2000, {}, kWsaEWouldBlock, 0, 2000, 100},
        PollRow{"datagram_at_once", 50, {kThreeBytes}, kWsaNoError, 3, 0, 1},
        PollRow{"datagram_on_third_attempt", 50, {kNothing, kNothing, kThreeBytes}, kWsaNoError, 3, 40, 3},
        PollRow{"empty_datagram", 50, {ScriptedReceive::Datagram("")}, kWsaNoError, 0, 0, 1},
        PollRow{"failure_on_second_attempt", 50, {kNothing, ScriptedReceive::Error(kWsaEConnReset)},
                kWsaEConnReset, 0, 20, 2},
        PollRow{"datagram_of_200_bytes", 50, {ScriptedReceive::Datagram(std::string(200, 'x'))}, kWsaNoError, 200,
                0, 1},
        PollRow{"datagram_of_201_bytes", 50, {ScriptedReceive::Datagram(std::string(201, 'x'))}, kWsaEMsgSize, 0,
                0, 1}),
    kRowName);

// ---- Discovery ----

using DiscoveryTest = ExchangeTest;

TEST_F(DiscoveryTest, NobodyAnsweringRuns34PollsOfThreeAttempts) {
    uint32_t count = 4;
    EXPECT_EQ(TextOf(DiscoverUnits(exchange, &count, nullptr, 2000)), "");
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(socket.receives, 102);
    EXPECT_EQ(socket.waits, PollWaits(68));
    EXPECT_EQ(clock.Elapsed(), 68 * 20ms);
    EXPECT_EQ(exchange.tally.waits, 68u);
    EXPECT_EQ(socket.sentBy, std::vector<std::string>{""}) << "no interface qualifies: one plain send";
    EXPECT_EQ(socket.sent, std::vector<std::string>{"0 1"});
    EXPECT_EQ(socket.sentPorts, std::vector<uint16_t>{8001});
    EXPECT_TRUE(socket.broadcastEnabled);
    EXPECT_EQ(socket.closes, 1);
}

struct TimeOutRow {
    const char* name;
    uint32_t timeout;
    int polls;
};

class DiscoveryTimeOutTest : public ExchangeTest, public ::testing::WithParamInterface<TimeOutRow> {};

TEST_P(DiscoveryTimeOutTest, PollsOfSixtyCountedMillisecondsFillTheTimeOut) {
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, GetParam().timeout).ok());
    EXPECT_EQ(socket.receives, 3 * GetParam().polls);
}

INSTANTIATE_TEST_SUITE_P(Rows, DiscoveryTimeOutTest,
                         ::testing::Values(TimeOutRow{"zero", 0, 1}, TimeOutRow{"one", 1, 1},
                                           TimeOutRow{"sixty", 60, 1}, TimeOutRow{"sixty_one", 61, 2},
                                           TimeOutRow{"one_twenty", 120, 2}, TimeOutRow{"one_twenty_one", 121, 3}),
                         kRowName);

TEST_F(DiscoveryTest, CapacityFourWithSixUnitsCopiesTheFirstFourAndCountsSix) {
    Queue({Reply(0x1A2B3), Reply(0x1B3C4), Reply(0x1C4D5), Reply(0x1D5E6), Reply(0x1E6F7), Reply(0x1F708)});
    std::array<DeviceRecord, 6> records;
    records.fill(FilledRecord(0xEE));
    uint32_t count = 4;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, records.data(), 100).ok());
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
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, 100).ok());
    EXPECT_EQ(count, 3u);
}

struct SerialsRow {
    const char* name;
    std::vector<uint32_t> serials;
    std::vector<uint32_t> counted;
};

class DistinctSerialTest : public ExchangeTest, public ::testing::WithParamInterface<SerialsRow> {};

TEST_P(DistinctSerialTest, CountsEachSerialOnceInOrderOfAnswer) {
    for (uint32_t serial : GetParam().serials) socket.script.push_back(ScriptedReceive::Datagram(Reply(serial)));
    std::array<DeviceRecord, 4> records{};
    uint32_t count = 4;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, records.data(), 100).ok());
    std::vector<uint32_t> counted;
    for (uint32_t i = 0; i < count; ++i) counted.push_back(records[i].serial);
    EXPECT_EQ(counted, GetParam().counted);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DistinctSerialTest,
    ::testing::Values(SerialsRow{"same_unit_twice", {0x1A2B3, 0x1A2B3}, {0x1A2B3}},
                      SerialsRow{"serial_inside_an_earlier_one", {0x1A2B3, 0x2B3}, {0x1A2B3, 0x2B3}},
                      SerialsRow{"serial_containing_an_earlier_one", {0x2B3, 0x1A2B3}, {0x2B3, 0x1A2B3}},
                      SerialsRow{"prefix_of_an_earlier_one", {0x123, 0x12, 0x1, 0x12}, {0x123, 0x12, 0x1}},
                      SerialsRow{"serial_zero", {0, 0x10, 0}, {0, 0x10}}),
    kRowName);

TEST_F(DiscoveryTest, ShortReplyCarriesNothingFromTheUnitBefore) {
    Queue({Reply(0x1A2B3, "QX-100"), "2B3 1"});
    std::array<DeviceRecord, 2> records;
    records.fill(FilledRecord(0xEE));
    uint32_t count = 2;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, records.data(), 100).ok());
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(records[0], ReplyRecord(0x1A2B3));
    EXPECT_EQ(records[1], MakeRecord(0x2B3, 1, 0, 0, 0, ""));
}

TEST_F(DiscoveryTest, DatagramWithoutSerialIsNoUnit) {
    Queue({"", "   ", "hello there", std::string("\0\0\0", 3), Reply(0x1A2B3)});
    std::array<DeviceRecord, 2> records;
    records.fill(FilledRecord(0xEE));
    uint32_t count = 2;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, records.data(), 100).ok());
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(records[0], ReplyRecord(0x1A2B3));
    EXPECT_EQ(records[1], FilledRecord(0xEE));
}

TEST_F(DiscoveryTest, RepliesDoNotAdvanceCountedTime) {
    Queue({Reply(1), Reply(2), Reply(3), Reply(4), Reply(5)});
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, 60).ok());
    EXPECT_EQ(count, 5u);
    // Five polls that each found a reply at once, then one that found nothing and counted 60.
    EXPECT_EQ(socket.receives, 5 + 3);
    EXPECT_EQ(socket.waits, PollWaits(2));
}

using DiscoveryReceiveFailureTest = StepFailureTest;

TEST_P(DiscoveryReceiveFailureTest, KeepsTheUnitsSeen) {
    socket.script = {ScriptedReceive::Datagram(Reply(1)), ScriptedReceive::Nothing(),
                     ScriptedReceive::Datagram(Reply(2)), GetParam().receive, ScriptedReceive::Datagram(Reply(3))};
    std::array<DeviceRecord, 4> records;
    records.fill(FilledRecord(0xEE));
    uint32_t count = 4;
    EXPECT_EQ(TextOf(DiscoverUnits(exchange, &count, records.data(), 2000)), GetParam().text);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(records[0], ReplyRecord(1));
    EXPECT_EQ(records[1], ReplyRecord(2));
    EXPECT_EQ(records[2], FilledRecord(0xEE));
    EXPECT_EQ(socket.closes, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DiscoveryReceiveFailureTest,
    ::testing::Values(StepFailureRow{.name = "connection_reset",
                                     .receive = ScriptedReceive::Error(kWsaEConnReset),
                                     .text = "Communications error. Receive error. (WSAECONNRESET)"},
                      StepFailureRow{.name = "datagram_over_200_bytes",
                                     .receive = ScriptedReceive::Datagram(std::string(300, '1')),
                                     .text = "Communications error. Receive error. (WSAEMSGSIZE)"},
                      StepFailureRow{.name = "unlisted_error",
                                     .receive = ScriptedReceive::Error(kWsaUnmapped),
                                     .text = "Communications error. Receive error. ((unknown socket error))"}),
    kRowName);

using DiscoverySetUpFailureTest = StepFailureTest;

TEST_P(DiscoverySetUpFailureTest, LeavesCountAndArrayAndNoSocket) {
    socket.script = {ScriptedReceive::Datagram(Reply(1))};
    std::array<DeviceRecord, 1> records{FilledRecord(0xEE)};
    uint32_t count = 1;
    EXPECT_EQ(TextOf(DiscoverUnits(exchange, &count, records.data(), 100)), GetParam().text);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(records[0], FilledRecord(0xEE));
    EXPECT_TRUE(socket.sent.empty());
    EXPECT_EQ(socket.receives, 0);
    EXPECT_FALSE(socket.created) << "socket left open";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DiscoverySetUpFailureTest,
    ::testing::Values(StepFailureRow{.name = "creation",
                                     .createError = kWsaENetDown,
                                     .text = "Communications error. Could not create socket. (WSAENETDOWN)"},
                      StepFailureRow{.name = "broadcast_option",
                                     .broadcastError = kWsaEInval,
                                     .text = "Communications error. Could not set socket options. (WSAEINVAL)"},
                      StepFailureRow{.name = "send",
                                     .sendError = kWsaENetDown,
                                     .text = "Communications error. Could not send message. (WSAENETDOWN)"}),
    kRowName);

TEST_F(DiscoveryTest, NullCountFailsWithoutASocket) {
    EXPECT_EQ(TextOf(DiscoverUnits(exchange, nullptr, nullptr, 100)), "Argument error. The count pointer is null.");
    EXPECT_EQ(socket.creates, 0);
}

TEST_F(DiscoveryTest, FloodIsEndedByTheRunawayGuard) {
    // A peer that never stops sending: counted time stands still, one real millisecond passes
    // per datagram.
    socket.endless = ScriptedReceive::Datagram(Reply(0x1A2B3));
    socket.onReceive = [this] { clock.now += 1ms; };
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, 2000).ok());
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(clock.now.time_since_epoch(), 5001ms) << "twice the time-out plus one second";
    EXPECT_EQ(socket.closes, 1);
}

TEST_F(DiscoveryTest, RunawayGuardStaysQuietWhenWaitsOverrun) {
    // Each 20 ms wait takes 35 ms: discovery still ends on counted time.
    clock.waitOverrun = 15ms;
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, 2000).ok());
    EXPECT_EQ(socket.receives, 102);
}

TEST_F(DiscoveryTest, RunawayGuardStaysQuietDuringABurstOfAThousandUnits) {
    for (uint32_t i = 0; i < 1000; ++i) socket.script.push_back(ScriptedReceive::Datagram(Reply(0x10000 + i)));
    socket.onReceive = [this] { clock.now += 1ms; };
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, 2000).ok());
    EXPECT_EQ(count, 1000u);
    EXPECT_EQ(socket.receives, 1000 + 102);
}

// ---- Requests repeated when the kernel drops replies ----

// Eight units, 0 to 7, answer each request 5 ms after it; the kernel drops the replies of the
// units lost[k] = {first, end} to request k (the last entry holds for the requests after it), as
// a full receive buffer would.
struct DropRow {
    const char* name;
    std::vector<std::pair<uint32_t, uint32_t>> lost;
    uint32_t timeout;
    uint32_t requests;
    uint32_t count;
};

class DropTest : public ExchangeTest, public ::testing::WithParamInterface<DropRow> {};

TEST_P(DropTest, AsksAgainOnlyAfterDropsWhileUnitsMayBeMissingAndTimeRemains) {
    const DropRow& row = GetParam();
    uint32_t requests = 0;
    socket.onSend = [&](const std::string&) {
        const auto [first, end] = row.lost[std::min<std::size_t>(requests++, row.lost.size() - 1)];
        for (uint32_t unit = 0; unit < 8; ++unit) {
            if (unit < first || unit >= end) socket.ArriveAt(clock.Elapsed() + 5ms, Reply(0x10000 + unit));
        }
        socket.droppedByKernel += end - first;
    };
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, row.timeout).ok());
    EXPECT_EQ(socket.sent, std::vector<std::string>(row.requests, "0 1"));
    EXPECT_EQ(exchange.tally.requests, row.requests);
    EXPECT_EQ(count, row.count);
}

INSTANTIATE_TEST_SUITE_P(Rows, DropTest,
                         ::testing::Values(DropRow{"no_drop_one_request", {{0, 0}}, 2000, 1, 8},
                                           DropRow{"a_drop_then_a_full_count", {{5, 8}, {0, 0}}, 2000, 2, 8},
                                           DropRow{"drops_after_every_unit_is_counted", {{5, 8}, {0, 3}}, 2000, 2, 8},
                                           DropRow{"same_units_lost_up_to_the_bound", {{5, 8}}, 2000, 10, 5},
                                           DropRow{"no_time_left_after_the_drop", {{5, 8}}, 60, 1, 5}),
                         kRowName);

TEST_F(ExchangeTest, TraceShowsEachNewRequestAndTheDropsBehindIt) {
    const TraceCapture capture;
    exchange.settings.trace = capture.trace();
    socket.onSend = [&](const std::string&) {
        if (socket.sent.size() == 1) socket.droppedByKernel = 7;
        socket.ArriveAt(clock.Elapsed() + 5ms, Reply(0x1A2B3));
    };
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, 200).ok());
    const std::string trace = capture.Text();
    EXPECT_NE(trace.find("varl: receive buffer 425984 bytes\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("varl: the kernel dropped 7 of 8 datagrams since request 1, 1 units counted so far: asking again\n"
                         "varl: sent 3 bytes to 255.255.255.255:8001 by the routing table (no interface qualifies)\n"),
              std::string::npos)
        << trace;
}

// ---- Datagrams that arrive while the next attempt is not yet due ----

struct DuringWaitRun {
    uint32_t count = 0;
    std::vector<std::chrono::milliseconds> takenAt;
    std::vector<std::chrono::milliseconds> emptyAttemptsAt;
    std::chrono::milliseconds end{};
};

// A discovery with time-out 2000 during which replies of distinct units arrive together at `at`.
DuringWaitRun DiscoverWithRepliesArriving(std::chrono::milliseconds at, int replies) {
    FakePollClock clock;
    ScriptedSocket socket(clock);
    ScriptedInterfaces interfaces;
    Exchange exchange{socket, clock, interfaces, {}, {}};
    for (int i = 0; i < replies; ++i) socket.ArriveAt(at, Reply(0x10000 + static_cast<uint32_t>(i)));
    DuringWaitRun run;
    EXPECT_TRUE(DiscoverUnits(exchange, &run.count, nullptr, 2000).ok());
    run.takenAt = socket.takenAt;
    run.emptyAttemptsAt = socket.emptyReceivesAt;
    run.end = clock.Elapsed();
    return run;
}

TEST(DuringWaitTest, ReplyIsTakenAtOnceAndItsPollCountsTheAttemptBeforeIt) {
    const DuringWaitRun run = DiscoverWithRepliesArriving(5ms, 1);
    EXPECT_EQ(run.count, 1u);
    EXPECT_EQ(run.takenAt, std::vector{5ms});
    // The next attempt still comes at 20, when it was due; that poll ends at 60 and the next
    // begins at once, as when the attempt at 20 had found the reply.
    ASSERT_GE(run.emptyAttemptsAt.size(), 7u);
    EXPECT_EQ(std::vector(run.emptyAttemptsAt.begin(), run.emptyAttemptsAt.begin() + 7),
              (std::vector{0ms, 20ms, 40ms, 60ms, 60ms, 80ms, 100ms}));
    // 20 counted, then 33 polls of 60 reach 2000: 100 empty attempts and 67 waits.
    EXPECT_EQ(run.emptyAttemptsAt.size(), 100u);
    EXPECT_EQ(run.end, 67 * 20ms);
}

TEST(DuringWaitTest, AHundredRepliesInOneWaitAreAllTakenBeforeTheNextAttemptAndAddNothing) {
    const DuringWaitRun one = DiscoverWithRepliesArriving(5ms, 1);
    const DuringWaitRun hundred = DiscoverWithRepliesArriving(5ms, 100);
    EXPECT_EQ(hundred.count, 100u);
    EXPECT_EQ(hundred.takenAt, std::vector(100, 5ms));
    EXPECT_EQ(hundred.emptyAttemptsAt, one.emptyAttemptsAt);
    EXPECT_EQ(hundred.end, one.end);
}

TEST_F(ExchangeTest, GetConfigTakesAReplyDuringAWaitAtOnce) {
    socket.ArriveAt(25ms, Reply(0x1B3C4, "QX-200"));
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(exchange, &record, 2000).ok());
    EXPECT_EQ(record, ReplyRecord(0x1B3C4, "QX-200"));
    EXPECT_EQ(socket.emptyReceivesAt, (std::vector{0ms, 20ms}));
    EXPECT_EQ(clock.Elapsed(), 25ms);
}

TEST_F(ExchangeTest, GetConfigKeepsItsScheduleAfterAStrayDatagramDuringAWait) {
    socket.ArriveAt(25ms, "stray");
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(exchange, &record, 2000).ok());
    EXPECT_EQ(record, FilledRecord(0xEE));
    EXPECT_EQ(socket.takenAt, std::vector{25ms});
    EXPECT_EQ(socket.emptyReceivesAt.size(), 100u);
    EXPECT_EQ(clock.Elapsed(), 99 * 20ms);
}

// ---- Every interface ----

NetworkInterface Loopback() {
    NetworkInterface loopback = ScriptedInterfaces::Usable("lo", 1, 0x7F000001);
    loopback.loopback = true;
    return loopback;
}

class InterfacesTest : public ExchangeTest {
protected:
    void SetUp() override {
        interfaces.interfaces = {Loopback(), ScriptedInterfaces::Usable("eth0", 2, 0x0A4D0001),
                                 ScriptedInterfaces::Usable("wlan0", 3, 0xC0A80105)};
    }
};

struct ExchangeRow {
    const char* name;
    Status (*run)(Exchange&);
    const char* message;
};

const ExchangeRow kExchanges[] = {
    {"discover",
     [](Exchange& exchange) {
         uint32_t count = 0;
         return DiscoverUnits(exchange, &count, nullptr, 100);
     },
     "0 1"},
    {"get_config",
     [](Exchange& exchange) {
         DeviceRecord record{};
         return GetFirstConfig(exchange, &record, 100);
     },
     "0 1"},
    {"set_config",
     [](Exchange& exchange) {
         const DeviceRecord record = MakeRecord(0x1A2B3, 1, 0, 0, 0, "");
         return SendSetConfig(exchange, &record);
     },
     "1A2B3 5 1    "},
};

class EveryInterfaceTest : public InterfacesTest, public ::testing::WithParamInterface<ExchangeRow> {};

TEST_P(EveryInterfaceTest, SendsOnceOutOfEachUsableInterface) {
    EXPECT_TRUE(GetParam().run(exchange).ok());
    EXPECT_EQ(socket.sentBy, (std::vector<std::string>{"eth0", "wlan0"}));
    EXPECT_EQ(socket.sent, (std::vector<std::string>(2, GetParam().message)));
}

TEST_P(EveryInterfaceTest, GoesOnWhenTheSendOnOneLinkFails) {
    socket.sendErrors["eth0"] = kWsaENetDown;
    EXPECT_TRUE(GetParam().run(exchange).ok());
    EXPECT_EQ(socket.sentBy, (std::vector<std::string>{"eth0", "wlan0"}));
    EXPECT_EQ(socket.sent, std::vector<std::string>{GetParam().message});
}

TEST_P(EveryInterfaceTest, FailsWithTheLastErrorWhenEverySendFails) {
    socket.sendErrors["eth0"] = kWsaENetDown;
    socket.sendErrors["wlan0"] = kWsaEInval;
    EXPECT_EQ(TextOf(GetParam().run(exchange)), "Communications error. Could not send message. (WSAEINVAL)");
    EXPECT_EQ(socket.receives, 0);
    EXPECT_FALSE(socket.created) << "socket left open";
}

INSTANTIATE_TEST_SUITE_P(Exchanges, EveryInterfaceTest, ::testing::ValuesIn(kExchanges), kRowName);

TEST_F(InterfacesTest, RepliesOfEveryLinkAreCountedOncePerSerial) {
    Queue({Reply(1), Reply(2), Reply(1)});
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, 100).ok());
    EXPECT_EQ(count, 2u);
}

struct WantedRow {
    const char* name;
    const char* wanted;
    std::vector<std::string> sentBy;
    const char* text = "";
};

class WantedInterfacesTest : public InterfacesTest, public ::testing::WithParamInterface<WantedRow> {};

TEST_P(WantedInterfacesTest, NarrowTheSends) {
    exchange.settings.interfaces = GetParam().wanted;
    uint32_t count = 7;
    EXPECT_EQ(TextOf(DiscoverUnits(exchange, &count, nullptr, 100)), GetParam().text);
    EXPECT_EQ(socket.sentBy, GetParam().sentBy);
    EXPECT_FALSE(socket.created) << "socket left open";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WantedInterfacesTest,
    ::testing::Values(WantedRow{"unset", "", {"eth0", "wlan0"}}, WantedRow{"one", "wlan0", {"wlan0"}},
                      WantedRow{"comma_and_blank", "wlan0, eth0", {"eth0", "wlan0"}},
                      WantedRow{"tab", "eth0\twlan0", {"eth0", "wlan0"}},
                      WantedRow{"unknown_name_ignored", "nosuch,wlan0", {"wlan0"}},
                      WantedRow{"only_separators", " , ", {"eth0", "wlan0"}},
                      WantedRow{"prefix_of_a_name", "wlan", {}, "Communications error. VARL_INTERFACES names no usable interface."},
                      WantedRow{"nothing_usable", "lo nosuch", {}, "Communications error. VARL_INTERFACES names no usable interface."}),
    kRowName);

TEST_F(InterfacesTest, TraceTellsWhatWasSentReceivedAndLeftOut) {
    const TraceCapture capture;
    exchange.settings.trace = capture.trace();
    socket.sendErrors["wlan0"] = kWsaUnmapped;
    socket.droppedByKernel = 3;
    socket.ArriveAt(10ms, std::string("1A2B3 \"x\"\\\x01\xff\0", 13));
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, 60).ok());
    EXPECT_EQ(capture.Text(),
              "varl: discovery, time-out 60 ms\n"
              "varl: receive buffer 425984 bytes\n"
              "varl: skipped lo: loopback\n"
              "varl: sent 3 bytes to 255.255.255.255:8001 on eth0 from 10.77.0.1\n"
              "varl: sending on wlan0 from 192.168.1.5 failed: (unknown socket error)\n"
              "varl: received 13 bytes from 10.77.0.10:8001: \"1A2B3 \\\"x\\\"\\\\\\x01\\xFF\\x00\"\n"
              "varl: received 1 datagrams in 4 attempts and 3 waits of 20 ms; the kernel dropped 3\n");
}

// ---- VARL_TARGETS ----

std::vector<uint32_t> Addresses(uint32_t first, uint32_t last) {
    std::vector<uint32_t> addresses;
    for (uint32_t address = first; address <= last; ++address) addresses.push_back(address);
    return addresses;
}

struct TargetsRow {
    const char* name;
    const ExchangeRow* exchange;
};

class TargetsTest : public ExchangeTest, public ::testing::WithParamInterface<TargetsRow> {};

TEST_P(TargetsTest, SendToEachAddressAfterTheBroadcastsEightEveryTwoMilliseconds) {
    interfaces.interfaces = {ScriptedInterfaces::Usable("eth0", 2, 0x0A4D0001)};
    exchange.settings.targets = "10.80.0.0/28, 10.81.0.255";
    EXPECT_TRUE(GetParam().exchange->run(exchange).ok());
    EXPECT_EQ(socket.sentBy.front(), "eth0");
    EXPECT_EQ(socket.sent, std::vector<std::string>(1 + 15, GetParam().exchange->message));
    std::vector<uint32_t> targets = Addresses(0x0A500001, 0x0A50000E);
    targets.push_back(0x0A5100FF);
    EXPECT_EQ(socket.sentTo, targets);
    std::vector<std::chrono::milliseconds> at(8, 0ms);
    at.resize(15, 2ms);
    EXPECT_EQ(socket.sentToAt, at);
    EXPECT_EQ(socket.sentPorts, std::vector<uint16_t>(16, 8001));
}

INSTANTIATE_TEST_SUITE_P(Exchanges, TargetsTest,
                         ::testing::Values(TargetsRow{"discover", &kExchanges[0]},
                                           TargetsRow{"set_config", &kExchanges[2]}),
                         kRowName);

TEST_F(ExchangeTest, DiscoveryCountsItsTimeFromTheLastTarget) {
    exchange.settings.targets = "10.80.0.0/24";  // 254 addresses: 32 groups, the last at 62 ms
    socket.onSend = [&](const std::string&) {
        if (socket.sentTo.size() == 200) socket.ArriveAt(clock.Elapsed() + 1ms, Reply(0xC1D2E));
    };
    uint32_t count = 0;
    EXPECT_TRUE(DiscoverUnits(exchange, &count, nullptr, 2000).ok());
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(socket.sentToAt.size(), 254u);
    EXPECT_EQ(socket.sentToAt.back(), 62ms);
    EXPECT_GE(clock.Elapsed() - socket.sentToAt.back(), 68 * 20ms - 60ms) << "a 2000 ms discovery's waits, less a poll";
}

struct BadTargetsRow {
    const char* name;
    const char* targets;
    const char* text;
};

class BadTargetsTest : public ExchangeTest, public ::testing::WithParamInterface<BadTargetsRow> {};

TEST_P(BadTargetsTest, FailDiscoveryAndSetConfigBeforeAnythingIsSent) {
    exchange.settings.targets = GetParam().targets;
    for (const ExchangeRow& row : {kExchanges[0], kExchanges[2]}) {
        EXPECT_EQ(TextOf(row.run(exchange)), GetParam().text) << row.name;
    }
    EXPECT_EQ(socket.creates, 0);
    EXPECT_TRUE(socket.sentBy.empty());
}

constexpr const char* kMalformedTargets = "Argument error. VARL_TARGETS holds an entry that is no address or range.";

INSTANTIATE_TEST_SUITE_P(
    Rows, BadTargetsTest,
    ::testing::Values(BadTargetsRow{"a_word", "10.80.0.7, router", kMalformedTargets},
                      BadTargetsRow{"an_octet_of_256", "10.80.0.256", kMalformedTargets},
                      BadTargetsRow{"slash_8", "10.0.0.0/8", "Argument error. VARL_TARGETS holds a range wider than /16."},
                      BadTargetsRow{"an_empty_range", "10.80.0.0/", kMalformedTargets}),
    kRowName);

// ---- Get-config ----

using GetConfigTest = ExchangeTest;

TEST_F(GetConfigTest, NobodyAnsweringLeavesTheRecord) {
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(exchange, &record, 2000).ok());
    EXPECT_EQ(record, FilledRecord(0xEE));
    EXPECT_EQ(socket.receives, 100);
    EXPECT_EQ(socket.waits, PollWaits(99));
    EXPECT_EQ(socket.sent, std::vector<std::string>{"0 1"});
    EXPECT_EQ(socket.closes, 1);
}

TEST_F(GetConfigTest, FirstReplyFillsTheRecord) {
    socket.script = {ScriptedReceive::Nothing(), ScriptedReceive::Datagram(Reply(0x1B3C4, "QX-200")),
                     ScriptedReceive::Datagram(Reply(0x1A2B3))};
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(exchange, &record, 2000).ok());
    EXPECT_EQ(record, ReplyRecord(0x1B3C4, "QX-200"));
    EXPECT_EQ(socket.receives, 2);
    EXPECT_EQ(socket.closes, 1);
}

TEST_F(GetConfigTest, DatagramWithoutSerialIsSkipped) {
    socket.script = {ScriptedReceive::Datagram(""), ScriptedReceive::Nothing(),
                     ScriptedReceive::Datagram("garbage"), ScriptedReceive::Datagram("2B3 1")};
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(exchange, &record, 2000).ok());
    EXPECT_EQ(record, MakeRecord(0x2B3, 1, 0, 0, 0, ""));
}

TEST_F(GetConfigTest, NonUnitDatagramsUseUpTheTimeOut) {
    // 40 ms of nothing, a stray datagram, then nothing: 60 ms allow three empty attempts in all.
    socket.script = {ScriptedReceive::Nothing(), ScriptedReceive::Nothing(), ScriptedReceive::Datagram("?")};
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(exchange, &record, 60).ok());
    EXPECT_EQ(record, FilledRecord(0xEE));
    EXPECT_EQ(socket.receives, 4);
}

TEST_F(GetConfigTest, FloodOfStrayDatagramsIsEndedByTheRunawayGuard) {
    socket.endless = ScriptedReceive::Datagram("stray");
    socket.onReceive = [this] { clock.now += 1ms; };
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_TRUE(GetFirstConfig(exchange, &record, 100).ok());
    EXPECT_EQ(record, FilledRecord(0xEE));
    EXPECT_EQ(clock.now.time_since_epoch(), 1201ms);
}

using GetConfigFailureTest = StepFailureTest;

TEST_P(GetConfigFailureTest, LeavesTheRecordAndNoSocket) {
    DeviceRecord record = FilledRecord(0xEE);
    EXPECT_EQ(TextOf(GetFirstConfig(exchange, &record, 100)), GetParam().text);
    EXPECT_EQ(record, FilledRecord(0xEE));
    EXPECT_FALSE(socket.created) << "socket left open";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GetConfigFailureTest,
    ::testing::Values(StepFailureRow{.name = "creation",
                                     .createError = kWsaENetDown,
                                     .text = "Communications error. Could not set socket options. (WSAENOTSOCK)"},
                      StepFailureRow{.name = "broadcast_option",
                                     .broadcastError = kWsaEInval,
                                     .text = "Communications error. Could not set socket options. (WSAEINVAL)"},
                      StepFailureRow{.name = "send",
                                     .sendError = kWsaENetDown,
                                     .text = "Communications error. Could not send message. (WSAENETDOWN)"},
                      StepFailureRow{.name = "receive",
                                     .receive = ScriptedReceive::Error(kWsaEConnReset),
                                     .text = "Communications error. Receive error. (WSAECONNRESET)"},
                      StepFailureRow{.name = "datagram_over_200_bytes",
                                     .receive = ScriptedReceive::Datagram(std::string(201, '1')),
                                     .text = "Communications error. Receive error. (WSAEMSGSIZE)"}),
    kRowName);

TEST_F(GetConfigTest, NullRecordFailsWithoutASocket) {
    EXPECT_EQ(TextOf(GetFirstConfig(exchange, nullptr, 100)), "Argument error. The record pointer is null.");
    EXPECT_EQ(socket.creates, 0);
}

// ---- Set-config ----

using SetConfigTest = ExchangeTest;

TEST_F(SetConfigTest, BroadcastsTheMessageOnceWithoutItsZero) {
    const DeviceRecord record = MakeRecord(0x1A2B3, 0, 0xC0A8000Au, 0xFFFFFF00u, 0xC0A80001u, "QX-100");
    EXPECT_TRUE(SendSetConfig(exchange, &record).ok());
    EXPECT_EQ(socket.sent, std::vector<std::string>{"1A2B3 5 0 192.168.0.10 255.255.255.0 192.168.0.1"});
    EXPECT_EQ(socket.sentPorts, std::vector<uint16_t>{8001});
    EXPECT_TRUE(socket.broadcastEnabled);
    EXPECT_EQ(socket.receives, 0) << "no reply is awaited";
    EXPECT_EQ(socket.closes, 1);
}

using SetConfigFailureTest = StepFailureTest;

TEST_P(SetConfigFailureTest, SendsNothingAndLeavesNoSocket) {
    const DeviceRecord record = MakeRecord(0x12A, 1, 0, 0, 0, "");
    EXPECT_EQ(TextOf(SendSetConfig(exchange, &record)), GetParam().text);
    EXPECT_TRUE(socket.sent.empty());
    EXPECT_FALSE(socket.created) << "socket left open";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SetConfigFailureTest,
    ::testing::Values(StepFailureRow{.name = "creation",
                                     .createError = kWsaENetDown,
                                     .text = "Communications error. Could not set socket options. (WSAENOTSOCK)"},
                      StepFailureRow{.name = "broadcast_option",
                                     .broadcastError = kWsaEFault,
                                     .text = "Communications error. Could not set socket options. (WSAEFAULT)"},
                      StepFailureRow{.name = "send",
                                     .sendError = kWsaEMsgSize,
                                     .text = "Communications error. Could not send message. (WSAEMSGSIZE)"}),
    kRowName);

TEST_F(SetConfigTest, NullRecordFailsWithoutASocket) {
    EXPECT_EQ(TextOf(SendSetConfig(exchange, nullptr)), "Argument error. The record pointer is null.");
    EXPECT_EQ(socket.creates, 0);
}

}  // namespace
}  // namespace varl
