// quorrel as its users run it: the built program as a child process, the real library, simulated
// units and their FTP servers in the lab. What is checked is what a script sees (exit status,
// standard output, standard error) and what reached the units.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "lab_client.h"
#include "lab_units.h"

extern char** environ;

namespace {

using sim::lab::DatagramLog;
using sim::lab::LabDirectory;
using sim::lab::LoadUnitTable;
using sim::lab::ReadFile;

// The lab's six units answering in reverse order of serial, so that sorting shows.
const std::string kSixUnitsReversed = [] {
    std::vector<sim::SimulatedUnit> units = sim::LabUnits(6);
    std::reverse(units.begin(), units.end());
    return sim::FormatUnitTable(units);
}();

constexpr const char* kSixUnitsCsv =
    "serial,dhcp,address,mask,gateway,chip\r\n"
    "1A2B3,0,10.77.0.10,255.255.0.0,10.77.0.1,QX-100\r\n"
    "1B3C4,0,10.77.0.11,255.255.0.0,10.77.0.1,QX-200\r\n"
    "1C4D5,1,10.77.0.12,255.255.0.0,10.77.0.1,QX-100\r\n"
    "1D5E6,0,10.77.0.13,255.255.0.0,10.77.0.1,QX-200\r\n"
    "1E6F7,0,10.77.0.14,255.255.0.0,10.77.0.1,QX-100\r\n"
    "1F808,1,10.77.0.15,255.255.0.0,10.77.0.1,QX-200\r\n";

constexpr const char* kDiscoveryRequest = "0 1";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    // Every datagram the units received while the program ran.
    std::vector<std::string> wire;
};

std::string LabFile(const std::string& name) { return LabDirectory() + "/" + name; }

std::string WriteLabFile(const std::string& name, const std::string& content) {
    const std::string path = LabFile(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

// Everything the units received since log began, up to a marker sent now: the program has ended,
// so whatever it sent is queued before the marker.
std::vector<std::string> WireSince(const DatagramLog& log) {
    static int markers = 0;
    const std::string marker = "end of test step " + std::to_string(++markers);
    sim::lab::UdpClient().Broadcast(marker);
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

// Runs the built program with the arguments; standard input holds input.
Outcome RunQuorrel(std::vector<std::string> arguments, const std::string& input = "") {
    const std::string in = WriteLabFile("quorrel.in", input), out = LabFile("quorrel.out"), err = LabFile("quorrel.err");
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    arguments.insert(arguments.begin(), QUORREL_PROGRAM);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    Outcome run;
    const DatagramLog log;
    pid_t child = -1;
    const int spawned = posix_spawn(&child, QUORREL_PROGRAM, &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        ADD_FAILURE() << "quorrel did not run to its end";
        return run;
    }
    run.status = WEXITSTATUS(status);
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    run.wire = WireSince(log);
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

class QuorrelLab : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(LabDirectory().empty()) << "run inside scripts/lab";
        ASSERT_TRUE(LoadUnitTable(kSixUnitsReversed, 6));
    }
};

TEST_F(QuorrelLab, DiscoverListsTheSixUnitsAfterOneRequest) {
    const Outcome run = RunQuorrel({"discover", "--timeout", "300", "--format", "csv"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, kSixUnitsCsv);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.wire, std::vector<std::string>{kDiscoveryRequest});
}

TEST_F(QuorrelLab, InterfaceAndVerboseReachTheLibrary) {
    const Outcome lab0 = RunQuorrel({"discover", "--timeout", "300", "--interface", "lab0", "--verbose", "--format", "csv"});
    EXPECT_EQ(lab0.status, 0);
    EXPECT_EQ(lab0.out, kSixUnitsCsv);
    EXPECT_NE(lab0.err.find("varl: sent 3 bytes to 255.255.255.255:8001 on lab0 from 10.77.0.1\n"), std::string::npos)
        << lab0.err;

    const Outcome none = RunQuorrel({"discover", "--timeout", "300", "--interface", "eth9"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "quorrel: Communications error. VARL_INTERFACES names no usable interface.\n");
    EXPECT_EQ(DiscoveryRequests(none.wire), 0);
}

// One discovery before sending, one round of confirmation after, for one unit or for many.
TEST_F(QuorrelLab, SetSendsTheExactMessageAndConfirmsIt) {
    const Outcome run = RunQuorrel({"set", "--timeout", "300", "1b3c4", "--static", "10.77.1.11/16", "--gateway",
                                    "10.77.0.1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SetConfigMessages(run.wire), std::vector<std::string>{"1B3C4 5 0 10.77.1.11 255.255.0.0 10.77.0.1"});
    EXPECT_EQ(run.out,
              "SERIAL  DHCP  ADDRESS     MASK         GATEWAY    CHIP\n"
              "1B3C4   Off   10.77.1.11  255.255.0.0  10.77.0.1  QX-200\n");
    EXPECT_EQ(DiscoveryRequests(run.wire), 2);
}

TEST_F(QuorrelLab, ApplySendsOnlyTheChangesAndConfirmsThemTogether) {
    const std::string file = WriteLabFile("apply.csv",
                                          "serial,dhcp,address,mask,gateway\n"
                                          "1B3C4,1,,,\n"
                                          "1C4D5,0,10.77.1.12,255.255.255.0,10.77.1.1\n"
                                          "1D5E6,0,10.77.0.13,255.255.0.0,10.77.0.1\n");
    const Outcome run = RunQuorrel({"apply", "--timeout", "300", file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SetConfigMessages(run.wire),
              (std::vector<std::string>{"1B3C4 5 1    ", "1C4D5 5 0 10.77.1.12 255.255.255.0 10.77.1.1"}));
    EXPECT_EQ(DiscoveryRequests(run.wire), 2);
    EXPECT_EQ(run.out,
              "1B3C4 confirmed: DHCP On\n"
              "1C4D5 confirmed: DHCP Off, address 10.77.1.12, mask 255.255.255.0, gateway 10.77.1.1\n"
              "1D5E6 unchanged: DHCP Off, address 10.77.0.13, mask 255.255.0.0, gateway 10.77.0.1\n");
}

TEST_F(QuorrelLab, UploadStoresTheSameBytesByFtpOrSaysWhyNot) {
    std::string bytes;
    for (int i = 0; i < 512; ++i) bytes += static_cast<char>(i % 256);
    const std::string file = WriteLabFile("page.bin", bytes);

    const Outcome byAddress = RunQuorrel({"upload", "10.77.0.11", file, "BYADDR.BIN"});
    EXPECT_EQ(byAddress.status, 0) << byAddress.err;
    EXPECT_EQ(byAddress.out.rfind("10.77.0.11: stored BYADDR.BIN, 512 bytes in ", 0), 0u) << byAddress.out;
    EXPECT_EQ(ReadFile(LabFile("ftp/10.77.0.11/BYADDR.BIN")), bytes);

    // 10.77.200.1 is on the units' side, with no FTP server.
    const Outcome unreachable = RunQuorrel({"upload", "10.77.200.1", file});
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_EQ(unreachable.err, "quorrel: 10.77.200.1: Communications error. Could not open transfer connection.\n");
}

// The real library refuses these names before it connects: status 2, and nothing reaches a unit.
TEST_F(QuorrelLab, TheLibrarysRefusalsOfARemoteNameEndWithStatusTwoAndNothingOnTheWire) {
    const std::string page = WriteLabFile("page.htm", "<p>hello</p>\n");
    struct Case {
        const char* name;
        std::string remoteName;
        const char* problem;
    } cases[] = {
        {"not 8.3", "ABCDEFGHI.HTM", "File upload error. Remote file name must use 8.3 format."},
        {"a control character", "A\tB.HTM", "File upload error. Remote file name holds a control character."},
    };
    for (const Case& c : cases) {
        const std::string ftpCommands = ReadFile(LabFile("ftp-commands.log"));
        const Outcome run = RunQuorrel({"upload", "10.77.0.10", page, c.remoteName});
        EXPECT_EQ(run.status, 2) << c.name;
        EXPECT_EQ(run.out, "") << c.name;
        EXPECT_NE(run.err.find(c.problem), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.wire, std::vector<std::string>{}) << c.name;
        EXPECT_EQ(ReadFile(LabFile("ftp-commands.log")), ftpCommands) << c.name;
    }
}

}  // namespace
