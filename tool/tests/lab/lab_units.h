// The simulated units of the lab as the tool's end-to-end tests see them: the unit table loaded
// into the simulator, the datagrams the units received, and the units' FTP folders.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace parbex::lab {

// $LAB_DIR; empty outside the lab.
std::string LabDirectory();

// Writes table into the lab folder and has the simulator replace its units with it; succeeds
// when the simulator answers "ok N" with the expected N.
::testing::AssertionResult LoadUnitTable(const std::string& table, int expectedUnits);

// One line of $LAB_DIR/datagrams.log: "TIMESTAMP SOURCE_IP:SOURCE_PORT LENGTH HEX".
struct Datagram {
    std::string source;  // address without the port
    std::string bytes;
};

// The datagrams logged since the mark was taken.
class DatagramLog {
public:
    DatagramLog();
    std::vector<Datagram> Since() const;

private:
    std::size_t m_nLinesAtMark;
};

// The whole content of a file, or an empty text when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace parbex::lab
