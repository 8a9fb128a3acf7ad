#include "lab_control.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace varl::lab {
namespace {

std::string Environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

std::string DecodeHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<LoggedDatagram> ParseLog(const std::string& text) {
    std::vector<LoggedDatagram> datagrams;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string stamp, source, hex;
        LoggedDatagram datagram;
        fields >> stamp >> source >> datagram.length >> hex;
        datagram.sourceAddress = source.substr(0, source.rfind(':'));
        datagram.bytes = DecodeHex(hex);
        datagrams.push_back(datagram);
    }
    return datagrams;
}

}  // namespace

std::string LabDirectory() { return Environment("LAB_DIR", ""); }

::testing::AssertionResult LoadUnitTable(const std::string& table, int expectedUnits) {
    static int tables = 0;
    const std::string path = LabDirectory() + "/units-" + std::to_string(++tables) + ".conf";
    std::ofstream(path) << table;

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd == -1) return ::testing::AssertionFailure() << "no socket for the control port";
    sockaddr_in control{};
    control.sin_family = AF_INET;
    control.sin_port = htons(static_cast<uint16_t>(std::stoi(Environment("LAB_SIM_CONTROL_PORT", "8009"))));
    ::inet_pton(AF_INET, Environment("LAB_SIM_CONTROL_ADDRESS", "10.77.0.2").c_str(), &control.sin_addr);
    const std::string command = "load " + path;
    ::sendto(fd, command.data(), command.size(), 0, reinterpret_cast<const sockaddr*>(&control), sizeof control);

    pollfd wanted{fd, POLLIN, 0};
    char answer[256] = {};
    ssize_t length = -1;
    if (::poll(&wanted, 1, 3000) == 1) length = ::recv(fd, answer, sizeof answer - 1, 0);
    ::close(fd);
    if (length < 0) return ::testing::AssertionFailure() << "the simulator did not answer \"" << command << '"';
    const std::string expected = "ok " + std::to_string(expectedUnits);
    if (answer != expected) return ::testing::AssertionFailure() << "the simulator answered \"" << answer << '"';
    return ::testing::AssertionSuccess();
}

DatagramLog::DatagramLog() : path_(LabDirectory() + "/datagrams.log") {
    std::ifstream log(path_, std::ios::binary | std::ios::ate);
    mark_ = log ? static_cast<std::size_t>(log.tellg()) : 0;
}

std::vector<LoggedDatagram> DatagramLog::Since(std::size_t minimum, std::chrono::milliseconds wait) const {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::ifstream log(path_, std::ios::binary);
        log.seekg(static_cast<std::streamoff>(mark_));
        std::ostringstream appended;
        appended << log.rdbuf();
        std::string text = appended.str();
        // A line still being written is left for the next look.
        text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
        std::vector<LoggedDatagram> datagrams = ParseLog(text);
        if (datagrams.size() >= minimum || std::chrono::steady_clock::now() >= deadline) return datagrams;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace varl::lab
