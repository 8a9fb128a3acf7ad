// quorrel as its users run it: the built program as a child process, the real library, simulated
// units and their FTP servers in the lab. What is checked is what a script sees (exit status,
// standard output, standard error) and what reached the units.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "lab_client.h"
#include "lab_units.h"
#include "quorrel_lab_run.h"

namespace {

using namespace quorrel::cli::testing;
using sim::lab::LabDirectory;
using sim::lab::LoadUnitTable;
using sim::lab::ReadFile;

// The lab's six units answering in reverse order of serial, so that sorting shows.
const std::string kSixUnitsReversed = [] {
    std::vector<sim::SimulatedUnit> units = sim::LabUnits(6);
    std::reverse(units.begin(), units.end());
    return sim::FormatUnitTable(units);
}();

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

// Two units that report one address: marked, and no third unit is sent it.
TEST_F(QuorrelLab, UnitsReportingOneAddressAreMarkedAndTheAddressIsRefused) {
    std::vector<sim::SimulatedUnit> units = sim::LabUnits(6);
    units[0].address = units[1].address;
    ASSERT_TRUE(LoadUnitTable(sim::FormatUnitTable(units), 6));

    const Outcome json = RunQuorrel({"discover", "--timeout", "300", "--format", "json"});
    EXPECT_EQ(json.status, 0);
    const nlohmann::json listed = nlohmann::json::parse(json.out);
    EXPECT_EQ(listed.at(0).at("conflicts"), nlohmann::json::array({"1B3C4"}));
    EXPECT_EQ(listed.at(1).at("conflicts"), nlohmann::json::array({"1A2B3"}));
    EXPECT_EQ(json.err, "quorrel: warning: units 1A2B3 and 1B3C4 report the same address 10.77.0.11\n");
    const Outcome table = RunQuorrel({"discover", "--timeout", "300"});
    EXPECT_NE(table.out.find("\n1B3C4   Off   10.77.0.11*  255.255.0.0"), std::string::npos) << table.out;

    const Outcome set = RunQuorrel({"set", "--timeout", "300", "1C4D5", "--static", "10.77.0.11/16"});
    EXPECT_EQ(set.status, 2);
    EXPECT_EQ(set.err.rfind("quorrel: 1C4D5: 10.77.0.11 is the address of unit 1", 0), 0u) << set.err;
    EXPECT_EQ(set.wire, std::vector<std::string>{kDiscoveryRequest});
}

// The units' side holds the spare address 10.77.200.1, which no unit reports: a host the
// discovery does not list.
TEST_F(QuorrelLab, TheArpProbeRefusesAnAddressAHostHoldsAndNeedsCapNetRaw) {
    std::string holderMac;
    const std::string command = "nsenter --net=" + std::string(std::getenv("LAB_UNITS_NETNS")) + " ip -br link show lab1";
    if (std::FILE* ip = popen(command.c_str(), "r")) {
        char name[64] = {}, state[64] = {}, mac[64] = {};
        if (std::fscanf(ip, "%63s %63s %63s", name, state, mac) == 3) holderMac = mac;
        pclose(ip);
    }
    ASSERT_EQ(holderMac.size(), 17u) << holderMac;

    const std::vector<std::string> set = {"set", "--timeout", "300", "1B3C4", "--static", "10.77.200.1/16"};
    const Outcome refused = RunQuorrel(set);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "quorrel: 1B3C4: 10.77.200.1 is in use on lab0 by " + holderMac +
                               "\nquorrel: nothing sent (--allow-duplicate-address sends anyway)\n");
    EXPECT_EQ(refused.wire, std::vector<std::string>{kDiscoveryRequest});

    std::vector<std::string> verbose = set;
    verbose.push_back("--verbose");
    const Outcome unprobed = RunQuorrel(verbose, "", {"setpriv", "--bounding-set=-net_raw", "--"});
    EXPECT_EQ(unprobed.status, 0) << unprobed.err;
    EXPECT_NE(unprobed.err.find("\nquorrel: not probing the new addresses with ARP: the process lacks CAP_NET_RAW\n"),
              std::string::npos)
        << unprobed.err;
    EXPECT_EQ(SetConfigMessages(unprobed.wire), std::vector<std::string>{"1B3C4 5 0 10.77.200.1 255.255.0.0 0.0.0.0"});
}

}  // namespace
