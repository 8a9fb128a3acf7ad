#include "lab_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "lab_units.h"

extern char** environ;

namespace sim::lab {
namespace {

// The simulator answers a control datagram as soon as it has read the table; even a table of a
// thousand units takes it far less than this.
constexpr int kControlAnswerTimeoutMs = 3000;

std::string Environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

}  // namespace

std::string LabDirectory() { return Environment("LAB_DIR", ""); }

std::string LabUnitTable(int count) { return FormatUnitTable(LabUnits(count)); }

UdpClient::UdpClient() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
}

UdpClient::~UdpClient() { ::close(fd_); }

void UdpClient::SendTo(const std::string& bytes, const std::string& address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    ASSERT_EQ(::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(bytes.size()));
}

void UdpClient::Broadcast(const std::string& bytes) { SendTo(bytes, "255.255.255.255", 8001); }

std::vector<std::string> UdpClient::ReceiveUntilQuiet(int quietMs, std::size_t maxCount) {
    std::vector<std::string> datagrams;
    std::vector<char> buffer(70000);
    pollfd wanted{fd_, POLLIN, 0};
    while (datagrams.size() < maxCount && ::poll(&wanted, 1, quietMs) == 1) {
        const ssize_t length = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (length < 0) break;
        datagrams.emplace_back(buffer.data(), static_cast<std::size_t>(length));
    }
    return datagrams;
}

std::vector<std::string> UdpClient::ReceiveWithSendersUntilQuiet(int quietMs) {
    std::vector<std::string> datagrams;
    std::vector<char> buffer(70000);
    pollfd wanted{fd_, POLLIN, 0};
    while (::poll(&wanted, 1, quietMs) == 1) {
        sockaddr_in sender{};
        socklen_t length = sizeof sender;
        const ssize_t received =
            ::recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&sender), &length);
        if (received < 0) break;
        char address[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &sender.sin_addr, address, sizeof address);
        datagrams.push_back(std::string(address) + " " + std::string(buffer.data(), static_cast<std::size_t>(received)));
    }
    return datagrams;
}

::testing::AssertionResult LoadUnitTable(const std::string& table, int expectedUnits,
                                         const std::string& controlAddress) {
    static int tables = 0;
    const std::string path = LabDirectory() + "/units-" + std::to_string(++tables) + ".conf";
    std::ofstream(path) << table;

    UdpClient control;
    const std::string command = "load " + path;
    control.SendTo(command, !controlAddress.empty() ? controlAddress : Environment("LAB_SIM_CONTROL_ADDRESS", "10.77.0.2"),
                   static_cast<uint16_t>(std::stoi(Environment("LAB_SIM_CONTROL_PORT", "8009"))));
    const std::vector<std::string> answer = control.ReceiveUntilQuiet(kControlAnswerTimeoutMs, 1);
    if (answer.empty()) return ::testing::AssertionFailure() << "the simulator did not answer \"" << command << '"';
    if (answer[0] != "ok " + std::to_string(expectedUnits)) {
        return ::testing::AssertionFailure() << "the simulator answered \"" << answer[0] << '"';
    }
    return ::testing::AssertionSuccess();
}

DatagramLog::DatagramLog(const std::string& name) : path_(LabDirectory() + "/" + name) {
    std::ifstream log(path_, std::ios::binary | std::ios::ate);
    mark_ = log ? static_cast<std::size_t>(log.tellg()) : 0;
}

std::vector<LoggedDatagram> DatagramLog::Since(std::size_t minimum, std::chrono::milliseconds wait) const {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::string text;
    for (;;) {
        std::ifstream log(path_, std::ios::binary);
        log.seekg(static_cast<std::streamoff>(mark_));
        std::ostringstream appended;
        appended << log.rdbuf();
        text = appended.str();
        // A line still being written is left for the next look.
        text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        if (lines >= minimum || std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::vector<LoggedDatagram> datagrams;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::optional<LoggedDatagram> datagram = ParseLogLine(line);
        if (!datagram) ADD_FAILURE() << "the simulator logged a malformed line: \"" << line << '"';
        datagrams.push_back(datagram.value_or(LoggedDatagram{}));
    }
    return datagrams;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

int RunProgram(std::vector<std::string> argv, const std::string& in, const std::string& out, const std::string& err) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (!in.empty()) posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, pointers[0], &files, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace sim::lab
