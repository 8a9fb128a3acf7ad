#include "quorrel_lab_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

#include "lab_client.h"

namespace quorrel::cli::testing {
namespace {

using sim::lab::DatagramLog;

// Everything the units received since log began, up to a marker sent now to markAddress (the
// broadcast address, or a routed site's simulator): the program has ended, so whatever it sent
// is queued before the marker.
std::vector<std::string> WireSince(const DatagramLog& log, const std::string& markAddress) {
    static int markers = 0;
    const std::string marker = "end of test step " + std::to_string(++markers);
    sim::lab::UdpClient client;
    if (markAddress.empty()) {
        client.Broadcast(marker);
    } else {
        client.SendTo(marker, markAddress, 8001);
    }
    for (int attempt = 0; attempt < 300; ++attempt) {
        std::vector<std::string> received;
        for (const sim::lab::LoggedDatagram& datagram : log.Since()) {
            if (datagram.bytes == marker) return received;
            received.push_back(datagram.bytes);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the marker datagram never reached the units";
    return {};
}

}  // namespace

const char* ProgramPath() { return QUORREL_PROGRAM; }

std::vector<char*> Argv(std::vector<std::string>& arguments) {
    arguments.insert(arguments.begin(), ProgramPath());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

int WaitForExit(pid_t child, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (std::chrono::steady_clock::now() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string LabFile(const std::string& name) { return sim::lab::LabDirectory() + "/" + name; }

std::string WriteLabFile(const std::string& name, const std::string& content) {
    const std::string path = LabFile(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

Outcome RunQuorrel(std::vector<std::string> arguments, const std::string& input, std::vector<std::string> wrapper) {
    const std::string in = WriteLabFile("quorrel.in", input), out = LabFile("quorrel.out"), err = LabFile("quorrel.err");
    arguments.insert(arguments.begin(), QUORREL_PROGRAM);
    arguments.insert(arguments.begin(), wrapper.begin(), wrapper.end());

    const char* siteSimulator = std::getenv("LAB_SITE_SIM_CONTROL_ADDRESS");
    const DatagramLog log;
    std::optional<DatagramLog> siteLog;
    if (siteSimulator != nullptr) siteLog.emplace("site-datagrams.log");
    Outcome run;
    run.status = sim::lab::RunProgram(std::move(arguments), in, out, err);
    if (run.status < 0) {
        ADD_FAILURE() << "quorrel did not run to its end";
        return run;
    }
    run.out = sim::lab::ReadFile(out);
    run.err = sim::lab::ReadFile(err);
    run.wire = WireSince(log, "");
    if (siteLog) run.siteWire = WireSince(*siteLog, siteSimulator);
    return run;
}

std::vector<std::string> SetConfigMessages(const std::vector<std::string>& wire) {
    std::vector<std::string> messages;
    std::copy_if(wire.begin(), wire.end(), std::back_inserter(messages),
                 [](const std::string& bytes) { return bytes != kDiscoveryRequest; });
    std::sort(messages.begin(), messages.end());
    return messages;
}

long DiscoveryRequests(const std::vector<std::string>& wire) {
    return std::count(wire.begin(), wire.end(), kDiscoveryRequest);
}

}  // namespace quorrel::cli::testing
