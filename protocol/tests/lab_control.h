// Helpers for tests that run inside the lab (scripts/lab): loading a unit table into the
// simulator through its control port, and reading what the simulated units received.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace varl::lab {

// $LAB_DIR, or empty outside the lab.
std::string LabDirectory();

// Writes table to a file in the lab folder and has the simulator replace its units with it.
// Succeeds when the simulator answers "ok N" with N the number of units expected.
::testing::AssertionResult LoadUnitTable(const std::string& table, int expectedUnits);

// One line of $LAB_DIR/datagrams.log: "TIMESTAMP SOURCE_IP:SOURCE_PORT LENGTH HEX".
struct LoggedDatagram {
    std::string sourceAddress;  // without the port
    std::size_t length = 0;
    std::string bytes;  // decoded from HEX
};

// The datagrams the units receive from the moment of construction on.
class DatagramLog {
public:
    DatagramLog();

    // Datagrams logged since construction, once at least minimum have been (or after wait).
    std::vector<LoggedDatagram> Since(std::size_t minimum,
                                      std::chrono::milliseconds wait = std::chrono::milliseconds(2000)) const;

private:
    std::string path_;
    std::size_t mark_ = 0;
};

}  // namespace varl::lab
