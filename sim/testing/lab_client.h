// What tests running inside the lab (scripts/lab) use of the simulator: a UDP socket on the
// administrator's side, loading a unit table through the control port, and the datagrams the
// simulated units received.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "datagram_log.h"

namespace sim::lab {

// The unit table of a lab started with --units count (sim::LabUnits), to load it again.
std::string LabUnitTable(int count);


// $LAB_DIR, or empty outside the lab.
std::string LabDirectory();

// A UDP socket on a port of its own that may broadcast.
class UdpClient {
public:
    UdpClient();
    ~UdpClient();
    UdpClient(const UdpClient&) = delete;
    UdpClient& operator=(const UdpClient&) = delete;

    void SendTo(const std::string& bytes, const std::string& address, uint16_t port);
    // To the units' discovery port.
    void Broadcast(const std::string& bytes);

    // Every datagram that arrives until quietMs pass without one, or the first maxCount.
    std::vector<std::string> ReceiveUntilQuiet(int quietMs = 300, std::size_t maxCount = SIZE_MAX);

    // The same with the address each came from: "10.77.0.10 1A2B3 0 10.77.0.10 ...".
    std::vector<std::string> ReceiveWithSendersUntilQuiet(int quietMs = 300);

private:
    int fd_ = -1;
};

// Writes table to a file in the lab folder and has the simulator replace its units with it: the
// lab's own, or the one whose control address is given (a routed site's, 10.80.0.2). Succeeds
// when the simulator answers "ok N" with N the number of units expected.
::testing::AssertionResult LoadUnitTable(const std::string& table, int expectedUnits,
                                         const std::string& controlAddress = "");

using sim::LoggedDatagram;

// The datagrams the units receive ($LAB_DIR/datagrams.log, or a routed site's
// site-datagrams.log) from the moment of construction on. A line that does not read as the
// simulator's format (sim::ParseLogLine) fails the running test.
class DatagramLog {
public:
    explicit DatagramLog(const std::string& name = "datagrams.log");

    // Datagrams logged since construction, once at least minimum have been (or after wait); with
    // no minimum, those logged so far.
    std::vector<LoggedDatagram> Since(std::size_t minimum = 0,
                                      std::chrono::milliseconds wait = std::chrono::milliseconds(2000)) const;

private:
    std::string path_;
    std::size_t mark_ = 0;
};

// The whole content of a file, or an empty text when it cannot be read.
std::string ReadFile(const std::string& path);

// Runs argv[0] (looked up on PATH when it holds no slash) with argv, standard input read from in
// (none when empty) and standard output and error written to out and err, and waits for it. Its
// exit status, or -1 when it did not run or did not exit.
int RunProgram(std::vector<std::string> argv, const std::string& in, const std::string& out, const std::string& err);

}  // namespace sim::lab
