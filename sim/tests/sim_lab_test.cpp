// The simulated units, checked byte for byte with a plain socket of the test's own.
// Runs inside the lab with six units (scripts/lab --units 6).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string LabDir() {
    const char* dir = std::getenv("LAB_DIR");
    return dir != nullptr ? dir : "";
}

class UdpClient {
public:
    UdpClient() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    ~UdpClient() { close(fd_); }

    void SendTo(const std::string& bytes, const char* address, int port) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, address, &to.sin_addr);
        ASSERT_EQ(sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(bytes.size()));
    }
    void Broadcast(const std::string& bytes) { SendTo(bytes, "255.255.255.255", 8001); }

    // Every datagram that arrives until quietMs pass without one, or the first maxCount.
    std::vector<std::string> ReceiveUntilQuiet(int quietMs = 300, size_t maxCount = SIZE_MAX) {
        std::vector<std::string> datagrams;
        std::vector<char> buffer(70000);
        pollfd wanted{fd_, POLLIN, 0};
        while (datagrams.size() < maxCount && poll(&wanted, 1, quietMs) == 1) {
            ssize_t n = recv(fd_, buffer.data(), buffer.size(), 0);
            if (n < 0) break;
            datagrams.emplace_back(buffer.data(), static_cast<size_t>(n));
        }
        return datagrams;
    }

private:
    int fd_ = -1;
};

// Replaces the simulator's units through its control port.
void LoadUnits(const std::string& table) {
    std::string path = LabDir() + "/test-units.conf";
    std::ofstream(path) << table;
    UdpClient control;
    control.SendTo("load " + path, "10.77.0.2", 8009);
    std::vector<std::string> answer = control.ReceiveUntilQuiet(2000, 1);
    ASSERT_FALSE(answer.empty()) << "the simulator did not answer on its control port";
    ASSERT_EQ(answer[0].rfind("ok ", 0), 0u) << answer[0];
}

std::vector<std::string> LogLines() {
    std::ifstream log(LabDir() + "/datagrams.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
}

// "TIMESTAMP SOURCE LENGTH HEX" -> "LENGTH HEX"
std::string LengthAndHex(const std::string& line) {
    std::istringstream fields(line);
    std::string stamp, source, length, hex;
    fields >> stamp >> source >> length >> hex;
    return length + " " + hex;
}

const std::string kLabUnits = std::string() +
    "unit 1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100\n"
    "unit 1B3C4 0 10.77.0.11 255.255.0.0 10.77.0.1 QX-200\n";

TEST(SimulatedUnits, SixUnitsAnswerADiscoveryWithDistinctRepliesAndTheRequestIsLogged) {
    size_t logBefore = LogLines().size();
    UdpClient client;
    client.Broadcast("0 1");
    std::vector<std::string> replies = client.ReceiveUntilQuiet();
    ASSERT_EQ(replies.size(), 6u);
    EXPECT_EQ(replies[0], "1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100");
    EXPECT_EQ(replies[1], "1B3C4 0 10.77.0.11 255.255.0.0 10.77.0.1 QX-200");
    EXPECT_EQ(replies[2], "1C4D5 1 10.77.0.12 255.255.0.0 10.77.0.1 QX-100");
    EXPECT_EQ(std::set<std::string>(replies.begin(), replies.end()).size(), 6u);

    std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), logBefore + 1);
    EXPECT_EQ(LengthAndHex(log.back()), "3 302031");
    EXPECT_NE(log.back().find(" 10.77.0.1:"), std::string::npos) << log.back();
}

TEST(SimulatedUnits, OnlyTheExactThreeByteRequestIsADiscovery) {
    LoadUnits(kLabUnits);
    UdpClient client;
    for (const char* notDiscovery : {"0 1 ", "0  1", "0 10", "0 2"}) {
        client.Broadcast(notDiscovery);
        EXPECT_TRUE(client.ReceiveUntilQuiet(150).empty()) << '"' << notDiscovery << '"';
    }
}

TEST(SimulatedUnits, StaticSetConfigChangesTheNamedUnitAtTheNextDiscovery) {
    LoadUnits(kLabUnits);
    UdpClient client;
    const std::string message = "1A2B3 5 0 192.168.0.10 255.255.255.0 192.168.0.1";
    client.Broadcast(message);
    client.Broadcast("0 1");
    std::vector<std::string> replies = client.ReceiveUntilQuiet();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], "1A2B3 0 192.168.0.10 255.255.255.0 192.168.0.1 QX-100");
    EXPECT_EQ(replies[1], "1B3C4 0 10.77.0.11 255.255.0.0 10.77.0.1 QX-200");
    std::vector<std::string> log = LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(LengthAndHex(log[log.size() - 2]),
              "48 314132423320352030203139322e3136382e302e3130203235352e3235352e3235352e30203139322e3136382e302e31");
}

TEST(SimulatedUnits, DhcpSetConfigWithItsFourTrailingBlanksTurnsDhcpOn) {
    LoadUnits(kLabUnits);
    UdpClient client;
    client.Broadcast("1B3C4 5 1    ");
    client.Broadcast("0 1");
    std::vector<std::string> replies = client.ReceiveUntilQuiet();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[1], "1B3C4 1 10.77.0.11 255.255.0.0 10.77.0.1 QX-200");
    std::vector<std::string> log = LogLines();
    EXPECT_EQ(LengthAndHex(log[log.size() - 2]), "13 31423343342035203120202020");
}

TEST(SimulatedUnits, SetConfigForAnotherSerialIsIgnored) {
    LoadUnits(kLabUnits);
    UdpClient client;
    client.Broadcast("1A2B4 5 0 1.2.3.4 255.0.0.0 1.2.3.1");
    client.Broadcast("0 1");
    std::vector<std::string> replies = client.ReceiveUntilQuiet();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], "1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100");
}

TEST(SimulatedUnits, TestKnobsSendWhatTheyPromiseInDueOrder) {
    LoadUnits(
        "unit 2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 LATE delay=150\n"
        "unit 1A2B3 1 10.77.0.11 255.255.0.0 10.77.0.1 TWICE twice\n"
        "raw delay=50 hand made  \n"
        "oversize 201 delay=100\n"
        "empty delay=120\n");
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
    LoadUnits(table);
    UdpClient client;
    client.Broadcast("0 1");
    std::vector<std::string> replies = client.ReceiveUntilQuiet(400);
    EXPECT_EQ(replies.size(), 50u);
    EXPECT_EQ(std::set<std::string>(replies.begin(), replies.end()).size(), 50u);
}

TEST(SimulatedUnits, ControlPortRefusesABadTable) {
    std::string path = LabDir() + "/bad-units.conf";
    std::ofstream(path) << "unit XYZ\n";
    UdpClient control;
    control.SendTo("load " + path, "10.77.0.2", 8009);
    std::vector<std::string> answer = control.ReceiveUntilQuiet(2000, 1);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].rfind("error line 1:", 0), 0u) << answer[0];
}

}  // namespace
