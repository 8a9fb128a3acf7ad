// The simulated units, checked byte for byte with a plain UDP socket rather than the protocol library.
// Runs inside the lab with six units (scripts/lab --units 6).
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "lab_client.h"

namespace {

using sim::lab::DatagramLog;
using sim::lab::LabDirectory;
using sim::lab::LabUnitTable;
using sim::lab::LoadUnitTable;
using sim::lab::UdpClient;

// The first two units of the lab: 1A2B3 at 10.77.0.10 and 1B3C4 at 10.77.0.11.
const std::string kLabUnits = LabUnitTable(2);

TEST(SimulatedUnits, SixUnitsAnswerADiscoveryWithDistinctRepliesAndTheRequestIsLogged) {
    DatagramLog log;
    UdpClient client;
    client.Broadcast("0 1");
    std::vector<std::string> replies = client.ReceiveUntilQuiet();
    ASSERT_EQ(replies.size(), 6u);
    EXPECT_EQ(replies[0], "1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100");
    EXPECT_EQ(replies[1], "1B3C4 0 10.77.0.11 255.255.0.0 10.77.0.1 QX-200");
    EXPECT_EQ(replies[2], "1C4D5 1 10.77.0.12 255.255.0.0 10.77.0.1 QX-100");
    EXPECT_EQ(std::set<std::string>(replies.begin(), replies.end()).size(), 6u);

    const auto received = log.Since();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].length, 3u);
    EXPECT_EQ(received[0].bytes, "0 1");
    EXPECT_EQ(received[0].sourceAddress, "10.77.0.1");
}

TEST(SimulatedUnits, EachUnitAnswersFromItsOwnAddress) {
    ASSERT_TRUE(LoadUnitTable(LabUnitTable(6), 6));
    UdpClient client;
    client.Broadcast("0 1");
    const std::vector<std::string> replies = client.ReceiveWithSendersUntilQuiet();
    ASSERT_EQ(replies.size(), 6u);
    EXPECT_EQ(replies[0], "10.77.0.10 1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100");
    EXPECT_EQ(replies[5], "10.77.0.15 1F808 1 10.77.0.15 255.255.0.0 10.77.0.1 QX-200");
}

// As a real unit's network stack would, a unit takes a datagram sent to its own address, its
// subnet's broadcast address or 255.255.255.255, and no other.
TEST(SimulatedUnits, ADatagramSentToOneUnitsAddressReachesThatUnitAlone) {
    ASSERT_TRUE(LoadUnitTable(LabUnitTable(6), 6));
    UdpClient client;
    client.SendTo("0 1", "10.77.0.12", 8001);
    EXPECT_EQ(client.ReceiveWithSendersUntilQuiet(),
              std::vector<std::string>{"10.77.0.12 1C4D5 1 10.77.0.12 255.255.0.0 10.77.0.1 QX-100"});
    client.SendTo("0 1", "10.77.0.2", 8001);
    EXPECT_TRUE(client.ReceiveUntilQuiet(150).empty()) << "the control address is no unit's";

    // Set-configuration naming 1A2B3, sent to 1B3C4's address, then to its own.
    client.SendTo("1A2B3 5 0 10.77.0.10 255.255.255.0 10.77.0.254", "10.77.0.11", 8001);
    client.SendTo("0 1", "10.77.255.255", 8001);
    EXPECT_EQ(client.ReceiveUntilQuiet().at(0), "1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100");
    client.SendTo("1A2B3 5 0 10.77.0.10 255.255.255.0 10.77.0.254", "10.77.0.10", 8001);
    client.SendTo("0 1", "10.77.0.10", 8001);
    EXPECT_EQ(client.ReceiveUntilQuiet(), std::vector<std::string>{"1A2B3 0 10.77.0.10 255.255.255.0 10.77.0.254 QX-100"});
}

struct NotDiscoveryRow {
    const char* name;
    const char* bytes;
};

class NotDiscoveryTest : public ::testing::TestWithParam<NotDiscoveryRow> {};

TEST_P(NotDiscoveryTest, GetsNoReply) {
    ASSERT_TRUE(LoadUnitTable(kLabUnits, 2));
    UdpClient client;
    client.Broadcast(GetParam().bytes);
    EXPECT_TRUE(client.ReceiveUntilQuiet(150).empty());
}

// Only the exact three bytes "0 1" are a discovery request.
INSTANTIATE_TEST_SUITE_P(Requests, NotDiscoveryTest,
                         ::testing::Values(NotDiscoveryRow{"trailing_blank", "0 1 "},
                                           NotDiscoveryRow{"two_blanks", "0  1"}, NotDiscoveryRow{"code_10", "0 10"},
                                           NotDiscoveryRow{"code_2", "0 2"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatedUnits, StaticSetConfigChangesTheNamedUnitAtTheNextDiscovery) {
    ASSERT_TRUE(LoadUnitTable(kLabUnits, 2));
    DatagramLog log;
    UdpClient client;
    const std::string message = "1A2B3 5 0 192.168.0.10 255.255.255.0 192.168.0.1";
    client.Broadcast(message);
    client.Broadcast("0 1");
    std::vector<std::string> replies = client.ReceiveUntilQuiet();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], "1A2B3 0 192.168.0.10 255.255.255.0 192.168.0.1 QX-100");
    EXPECT_EQ(replies[1], "1B3C4 0 10.77.0.11 255.255.0.0 10.77.0.1 QX-200");
    const auto received = log.Since();
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received[received.size() - 2].length, 48u);
    EXPECT_EQ(received[received.size() - 2].bytes, message);
}

TEST(SimulatedUnits, DhcpSetConfigWithItsFourTrailingBlanksTurnsDhcpOn) {
    ASSERT_TRUE(LoadUnitTable(kLabUnits, 2));
    DatagramLog log;
    UdpClient client;
    client.Broadcast("1B3C4 5 1    ");
    client.Broadcast("0 1");
    std::vector<std::string> replies = client.ReceiveUntilQuiet();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[1], "1B3C4 1 10.77.0.11 255.255.0.0 10.77.0.1 QX-200");
    const auto received = log.Since();
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received[received.size() - 2].length, 13u);
    EXPECT_EQ(received[received.size() - 2].bytes, "1B3C4 5 1    ");
}

TEST(SimulatedUnits, SetConfigForAnotherSerialIsIgnored) {
    ASSERT_TRUE(LoadUnitTable(kLabUnits, 2));
    UdpClient client;
    client.Broadcast("1A2B4 5 0 1.2.3.4 255.0.0.0 1.2.3.1");
    client.Broadcast("0 1");
    std::vector<std::string> replies = client.ReceiveUntilQuiet();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], "1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100");
}

TEST(SimulatedUnits, TestKnobsSendWhatTheyPromiseInDueOrder) {
    ASSERT_TRUE(LoadUnitTable(
        "unit 2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 LATE delay=150\n"
        "unit 1A2B3 1 10.77.0.11 255.255.0.0 10.77.0.1 TWICE twice\n"
        "raw delay=50 hand made  \n"
        "oversize 201 delay=100\n"
        "empty delay=120\n",
        2));
    UdpClient client;
    auto start = std::chrono::steady_clock::now();
    client.Broadcast("0 1");
    std::vector<std::string> datagrams = client.ReceiveUntilQuiet(400);
    auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(datagrams.size(), 6u);
    EXPECT_EQ(datagrams[0], "1A2B3 1 10.77.0.11 255.255.0.0 10.77.0.1 TWICE");
    EXPECT_EQ(datagrams[1], datagrams[0]);
    EXPECT_EQ(datagrams[2], "hand made  ");
    EXPECT_EQ(datagrams[3], std::string(201, 'X'));
    EXPECT_EQ(datagrams[4], "");
    EXPECT_EQ(datagrams[5], "2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 LATE");
    EXPECT_GE(elapsed, std::chrono::milliseconds(150));
}

TEST(SimulatedUnits, JitterSpreadsRepliesButEveryUnitStillAnswersOnce) {
    std::string table;
    for (int i = 0; i < 50; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "unit %X 0 10.77.0.10 255.255.0.0 10.77.0.1 J jitter=100\n", 0x10000 + i);
        table += line;
    }
    ASSERT_TRUE(LoadUnitTable(table, 50));
    UdpClient client;
    client.Broadcast("0 1");
    std::vector<std::string> replies = client.ReceiveUntilQuiet(400);
    EXPECT_EQ(replies.size(), 50u);
    EXPECT_EQ(std::set<std::string>(replies.begin(), replies.end()).size(), 50u);
}

// Datagrams of 4,000 bytes take a gigabit link about 32.5 us each (66 more bytes of headers,
// preamble and gap, at 8 ns a byte); a veth pair alone carries them several times faster.
TEST(SimulatedUnits, ABurstLeavesNoFasterThanAGigabitLinkCarriesIt) {
    constexpr int kDatagrams = 500;
    constexpr int kPayload = 4000;
    constexpr double kWireMicroseconds = (kPayload + 66) * 8 / 1000.0;
    std::string table;
    for (int i = 0; i < kDatagrams; ++i) {
        char index[8];
        std::snprintf(index, sizeof index, "%04d", i);
        table += "raw " + std::string(index) + std::string(kPayload - 4, 'x') + "\n";
    }
    ASSERT_TRUE(LoadUnitTable(table, 0));

    // The kernel's receive time of each datagram, so that a late reader does not shorten the span.
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int one = 1, buffer = 8 << 20;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(8001);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    ASSERT_EQ(sendto(fd, "0 1", 3, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 3);
    std::vector<std::pair<int, double>> received;  // index, microseconds
    std::vector<char> bytes(kPayload + 1);
    for (pollfd wanted{fd, POLLIN, 0}; poll(&wanted, 1, 300) == 1;) {
        iovec part{bytes.data(), bytes.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (recvmsg(fd, &message, 0) != kPayload) continue;
        const cmsghdr* header = CMSG_FIRSTHDR(&message);
        if (header == nullptr || header->cmsg_type != SO_TIMESTAMPNS) continue;
        timespec stamp{};
        std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
        received.emplace_back(std::atoi(std::string(bytes.data(), 4).c_str()), stamp.tv_sec * 1e6 + stamp.tv_nsec / 1e3);
    }
    close(fd);
    ASSERT_GE(received.size(), 2u);
    const auto& [firstIndex, firstTime] = received.front();
    const auto& [lastIndex, lastTime] = received.back();
    // The simulator may send what fell due while it slept at once, 20 us worth at most.
    EXPECT_GE(lastTime - firstTime, (lastIndex - firstIndex) * kWireMicroseconds - 20) << received.size() << " received";
}

TEST(SimulatedUnits, ControlPortRefusesABadTable) {
    std::string path = LabDirectory() + "/bad-units.conf";
    std::ofstream(path) << "unit XYZ\n";
    UdpClient control;
    control.SendTo("load " + path, "10.77.0.2", 8009);
    std::vector<std::string> answer = control.ReceiveUntilQuiet(2000, 1);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].rfind("error line 1:", 0), 0u) << answer[0];
}

}  // namespace
