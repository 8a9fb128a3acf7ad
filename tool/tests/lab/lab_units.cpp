#include "lab_units.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace parbex::lab {
namespace {

// The simulator answers its control datagrams at once; two seconds is ample inside the lab.
constexpr int kControlReplyTimeoutMs = 2000;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::ifstream log(LabDirectory() + "/datagrams.log");
    for (std::string line; std::getline(log, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string DecodeHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

}  // namespace

std::string LabDirectory() { return Environment("LAB_DIR"); }

::testing::AssertionResult LoadUnitTable(const std::string& table, int expectedUnits) {
    const std::string path = LabDirectory() + "/parbex-units.conf";
    {
        std::ofstream file(path, std::ios::trunc);
        file << table;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        return ::testing::AssertionFailure() << "no socket";
    }
    sockaddr_in control{};
    control.sin_family = AF_INET;
    control.sin_port = htons(static_cast<std::uint16_t>(std::stoi(Environment("LAB_SIM_CONTROL_PORT"))));
    inet_pton(AF_INET, Environment("LAB_SIM_CONTROL_ADDRESS").c_str(), &control.sin_addr);
    const std::string request = "load " + path;
    sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&control), sizeof control);

    pollfd waiting{fd, POLLIN, 0};
    std::string reply;
    if (poll(&waiting, 1, kControlReplyTimeoutMs) == 1) {
        char buffer[256];
        const ssize_t received = recv(fd, buffer, sizeof buffer, 0);
        if (received > 0) {
            reply.assign(buffer, static_cast<std::size_t>(received));
        }
    }
    close(fd);
    if (reply != "ok " + std::to_string(expectedUnits)) {
        return ::testing::AssertionFailure() << "the simulator answered \"" << reply << '"';
    }
    return ::testing::AssertionSuccess();
}

DatagramLog::DatagramLog() : m_nLinesAtMark(LogLines().size()) {}

std::vector<Datagram> DatagramLog::Since() const {
    std::vector<Datagram> datagrams;
    const std::vector<std::string> lines = LogLines();
    for (std::size_t i = m_nLinesAtMark; i < lines.size(); ++i) {
        std::istringstream fields(lines[i]);
        std::string timestamp, source, length, hex;
        fields >> timestamp >> source >> length >> hex;
        datagrams.push_back({source.substr(0, source.rfind(':')), DecodeHex(hex)});
    }
    return datagrams;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

}  // namespace parbex::lab
