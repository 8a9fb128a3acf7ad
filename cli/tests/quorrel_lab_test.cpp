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
#include <sstream>
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

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

class QuorrelLab : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(LabDirectory().empty()) << "run inside scripts/lab";
        ASSERT_TRUE(LoadUnitTable(kSixUnitsReversed, 6));
    }
};

TEST_F(QuorrelLab, DiscoverListsTheSixUnitsByteForByteInEachFormat) {
    struct Case {
        const char* format;
        const char* expected;
    } cases[] = {
        {"table",
         "SERIAL  DHCP  ADDRESS     MASK         GATEWAY    CHIP\n"
         "1A2B3   Off   10.77.0.10  255.255.0.0  10.77.0.1  QX-100\n"
         "1B3C4   Off   10.77.0.11  255.255.0.0  10.77.0.1  QX-200\n"
         "1C4D5   On    10.77.0.12  255.255.0.0  10.77.0.1  QX-100\n"
         "1D5E6   Off   10.77.0.13  255.255.0.0  10.77.0.1  QX-200\n"
         "1E6F7   Off   10.77.0.14  255.255.0.0  10.77.0.1  QX-100\n"
         "1F808   On    10.77.0.15  255.255.0.0  10.77.0.1  QX-200\n"},
        {"csv", kSixUnitsCsv},
    };
    for (const Case& c : cases) {
        const Outcome run = RunQuorrel({"discover", "--timeout", "300", "--format", c.format});
        EXPECT_EQ(run.status, 0) << c.format;
        EXPECT_EQ(run.out, c.expected) << c.format;
        EXPECT_EQ(run.err, "") << c.format;
    }

    const Outcome json = RunQuorrel({"discover", "--timeout", "300", "--format", "json"});
    EXPECT_EQ(json.status, 0);
    std::string expected = "[\n";
    const std::vector<std::string> rows = Lines(kSixUnitsCsv);
    for (std::size_t at = 1; at < rows.size(); ++at) {
        std::vector<std::string> field;
        std::istringstream row(rows[at].substr(0, rows[at].size() - 1));
        for (std::string value; std::getline(row, value, ',');) field.push_back(value);
        expected += "  {\n    \"serial\": \"" + field[0] + "\",\n    \"dhcp\": " + field[1] + ",\n    \"address\": \"" +
                    field[2] + "\",\n    \"mask\": \"" + field[3] + "\",\n    \"gateway\": \"" + field[4] +
                    "\",\n    \"chip\": \"" + field[5] + "\"\n  }" + (at + 1 < rows.size() ? ",\n" : "\n");
    }
    EXPECT_EQ(json.out, expected + "]\n");

    // What discover writes, read back by apply, proposes nothing.
    const Outcome readBack = RunQuorrel({"apply", "--dry-run", "--timeout", "300", WriteLabFile("units.csv", kSixUnitsCsv)});
    EXPECT_EQ(readBack.status, 0) << readBack.err;
    EXPECT_EQ(std::count(readBack.out.begin(), readBack.out.end(), '\n'), 6) << readBack.out;
    for (const std::string& line : Lines(readBack.out)) EXPECT_NE(line.find(" unchanged: "), std::string::npos) << line;
    EXPECT_EQ(SetConfigMessages(readBack.wire), std::vector<std::string>{});
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

TEST_F(QuorrelLab, DiscoverWithNoUnitSaysSoOnStandardErrorAndSucceeds) {
    ASSERT_TRUE(LoadUnitTable("", 0));
    const Outcome run = RunQuorrel({"discover", "--timeout", "200", "--format", "json"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "[]\n");
    EXPECT_EQ(run.err, "No units answered.\n");
}

// With six units every discovery is two requests (room for four, then for all six).
TEST_F(QuorrelLab, SetSendsTheExactMessageAndConfirmsIt) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        const char* unitOption;  // appended to the unit 1B3C4 of the table
        int status;
        std::vector<std::string> messages;
        const char* out;
        const char* err;
        long discoveryRequests;
    } cases[] = {
        {"static, confirmed", {"1b3c4", "--static", "10.77.1.11/16", "--gateway", "10.77.0.1"}, "", 0,
         {"1B3C4 5 0 10.77.1.11 255.255.0.0 10.77.0.1"},
         "SERIAL  DHCP  ADDRESS     MASK         GATEWAY    CHIP\n"
         "1B3C4   Off   10.77.1.11  255.255.0.0  10.77.0.1  QX-200\n",
         "", 4},
        {"gateway outside the subnet: warned, sent", {"1B3C4", "--static", "10.78.0.11", "--mask", "255.255.0.0",
                                                      "--gateway", "10.77.0.1"}, "", 0,
         {"1B3C4 5 0 10.78.0.11 255.255.0.0 10.77.0.1"}, nullptr,
         "quorrel: warning: gateway 10.77.0.1 lies outside the subnet 10.78.0.0 mask 255.255.0.0 of address "
         "10.78.0.11\n",
         4},
        {"DHCP, confirmed", {"1B3C4", "--dhcp"}, "", 0, {"1B3C4 5 1    "},
         "SERIAL  DHCP  ADDRESS     MASK         GATEWAY    CHIP\n"
         "1B3C4   On    10.77.0.11  255.255.0.0  10.77.0.1  QX-200\n",
         "", 4},
        {"unit ignores it: three discoveries, then what it reports", {"1B3C4", "--dhcp"}, " ignore-set", 1,
         {"1B3C4 5 1    "}, "",
         "quorrel: 1B3C4 not confirmed: asked for DHCP On, the unit reports DHCP Off, address 10.77.0.11, mask "
         "255.255.0.0, gateway 10.77.0.1\n",
         8},
        {"not verified", {"1B3C4", "--static", "10.77.1.11/16", "--no-verify"}, "", 0,
         {"1B3C4 5 0 10.77.1.11 255.255.0.0 0.0.0.0"},
         "1B3C4: sent DHCP Off, address 10.77.1.11, mask 255.255.0.0, gateway 0.0.0.0 (not confirmed)\n", "", 2},
        {"unknown serial: nothing sent", {"99999", "--dhcp"}, "", 1, {}, "",
         "quorrel: no unit with serial 99999 answered; nothing sent (--force sends anyway)\n", 2},
        {"unknown serial, forced", {"99999", "--dhcp", "--force", "--no-verify"}, "", 0, {"99999 5 1    "}, nullptr,
         "", 2},
    };
    for (const Case& c : cases) {
        std::string table = kSixUnitsReversed;
        table.insert(table.find("QX-200\nunit 1A2B3") + 6, c.unitOption);
        ASSERT_TRUE(LoadUnitTable(table, 6)) << c.name;
        std::vector<std::string> arguments = {"set", "--timeout", "300"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Outcome run = RunQuorrel(arguments);
        EXPECT_EQ(run.status, c.status) << c.name;
        EXPECT_EQ(SetConfigMessages(run.wire), c.messages) << c.name;
        if (c.out != nullptr) {
            EXPECT_EQ(run.out, c.out) << c.name;
        }
        EXPECT_EQ(run.err, c.err) << c.name;
        EXPECT_EQ(DiscoveryRequests(run.wire), c.discoveryRequests) << c.name;
    }
}

TEST_F(QuorrelLab, ApplySendsOnlyTheChangesAndConfirmsThemTogether) {
    // Rows 3, 4 and 6 change their units; the others are as the units report.
    const std::string file = WriteLabFile("apply.csv",
                                          "serial,dhcp,address,mask,gateway\n"
                                          "1A2B3,0,10.77.0.10,255.255.0.0,10.77.0.1\n"
                                          "1B3C4,1,,,\n"
                                          "1C4D5,0,10.77.1.12,255.255.255.0,10.77.1.1\n"
                                          "1D5E6,0,10.77.0.13,255.255.0.0,10.77.0.1\n"
                                          "1E6F7,0,10.77.1.14,255.255.0.0,10.77.0.254\n"
                                          "1F808,1,10.77.0.15,255.255.0.0,10.77.0.1\n");
    const Outcome run = RunQuorrel({"apply", "--timeout", "300", file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SetConfigMessages(run.wire), (std::vector<std::string>{"1B3C4 5 1    ",
                                                                  "1C4D5 5 0 10.77.1.12 255.255.255.0 10.77.1.1",
                                                                  "1E6F7 5 0 10.77.1.14 255.255.0.0 10.77.0.254"}));
    EXPECT_EQ(DiscoveryRequests(run.wire), 4) << "one discovery before sending and one to confirm all three";
    EXPECT_EQ(run.out,
              "1A2B3 unchanged: DHCP Off, address 10.77.0.10, mask 255.255.0.0, gateway 10.77.0.1\n"
              "1B3C4 confirmed: DHCP On\n"
              "1C4D5 confirmed: DHCP Off, address 10.77.1.12, mask 255.255.255.0, gateway 10.77.1.1\n"
              "1D5E6 unchanged: DHCP Off, address 10.77.0.13, mask 255.255.0.0, gateway 10.77.0.1\n"
              "1E6F7 confirmed: DHCP Off, address 10.77.1.14, mask 255.255.0.0, gateway 10.77.0.254\n"
              "1F808 unchanged: DHCP On, address 10.77.0.15, mask 255.255.0.0, gateway 10.77.0.1\n");

    const Outcome again = RunQuorrel({"apply", "--timeout", "300", file});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(SetConfigMessages(again.wire), std::vector<std::string>{});
    EXPECT_EQ(DiscoveryRequests(again.wire), 2);
    EXPECT_EQ(Lines(again.out).size(), 6u);
    EXPECT_EQ(again.out.find("confirmed"), std::string::npos) << again.out;
}

TEST_F(QuorrelLab, ApplyStopsBeforeSendingOnABadRowOrAMissingUnit) {
    const std::string header = "serial,dhcp,address,mask,gateway\n";
    const std::string change = "1B3C4,0,10.77.1.11,255.255.0.0,10.77.0.1\n";
    struct Case {
        const char* name;
        std::string content;
        std::vector<std::string> options;
        int status;
        const char* err;
        std::vector<std::string> messages;
    } cases[] = {
        {"bad row on line 4", header + change + "1A2B3,1,,,\n1D5E6,0,10.77.0.300,255.255.0.0,10.77.0.1\n", {}, 2,
         "quorrel: (standard input):4: bad address '10.77.0.300': expected four numbers from 0 to 255 separated by "
         "dots\n",
         {}},
        {"serial that does not answer", header + change + "2A2B3,1,,,\n", {}, 1,
         "quorrel: (standard input):3: no unit with serial 2A2B3 answered\n"
         "quorrel: nothing sent (--skip-missing applies the rows of the units that answered)\n",
         {}},
        {"skipping it sends the rest", header + change + "2A2B3,1,,,\n", {"--skip-missing"}, 0, "",
         {"1B3C4 5 0 10.77.1.11 255.255.0.0 10.77.0.1"}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(LoadUnitTable(kSixUnitsReversed, 6)) << c.name;
        std::vector<std::string> arguments = {"apply", "--timeout", "300", "-"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const Outcome run = RunQuorrel(arguments, c.content);
        EXPECT_EQ(run.status, c.status) << c.name;
        EXPECT_EQ(run.err, c.err) << c.name;
        EXPECT_EQ(SetConfigMessages(run.wire), c.messages) << c.name;
        if (c.status == 2) {
            EXPECT_EQ(run.wire, std::vector<std::string>{}) << c.name;
        }
    }
}

TEST_F(QuorrelLab, UploadStoresTheSameBytesByAddressBySerialAndOnEveryUnit) {
    std::string bytes;
    for (int i = 0; i < 512; ++i) bytes += static_cast<char>(i % 256);
    const std::string file = WriteLabFile("page.bin", bytes);

    const Outcome byAddress = RunQuorrel({"upload", "10.77.0.11", file, "BYADDR.BIN"});
    EXPECT_EQ(byAddress.status, 0) << byAddress.err;
    EXPECT_EQ(byAddress.out.rfind("10.77.0.11: stored BYADDR.BIN, 512 bytes in ", 0), 0u) << byAddress.out;
    EXPECT_EQ(ReadFile(LabFile("ftp/10.77.0.11/BYADDR.BIN")), bytes);

    const Outcome bySerial = RunQuorrel({"upload", "--timeout", "300", "1b3c4", file});
    EXPECT_EQ(bySerial.status, 0) << bySerial.err;
    EXPECT_EQ(bySerial.out.rfind("1B3C4 at 10.77.0.11: stored page.bin, 512 bytes in ", 0), 0u) << bySerial.out;
    EXPECT_EQ(ReadFile(LabFile("ftp/10.77.0.11/page.bin")), bytes);

    const Outcome all = RunQuorrel({"upload", "--all", "--timeout", "300", file, "ALL.BIN"});
    EXPECT_EQ(all.status, 0) << all.err;
    const std::vector<std::string> lines = Lines(all.out);
    ASSERT_EQ(lines.size(), 6u) << all.out;
    for (int unit = 0; unit < 6; ++unit) {
        const std::string address = "10.77.0." + std::to_string(10 + unit);
        EXPECT_NE(lines[static_cast<std::size_t>(unit)].find(" at " + address + ": stored ALL.BIN"), std::string::npos);
        EXPECT_EQ(ReadFile(LabFile("ftp/" + address + "/ALL.BIN")), bytes) << address;
    }

    // 10.77.200.1 is on the units' side, with no FTP server.
    const Outcome unreachable = RunQuorrel({"upload", "10.77.200.1", file});
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_EQ(unreachable.err, "quorrel: 10.77.200.1: Communications error. Could not open transfer connection.\n");
}

TEST_F(QuorrelLab, BadInputEndsWithStatusTwoAndOneLineAndNothingOnTheWire) {
    const std::string page = WriteLabFile("page.htm", "<p>hello</p>\n");
    const std::string noFile = LabFile("no-such-page.htm");
    const std::string wrongHeader = WriteLabFile("wrong-header.csv", "serial,dhcp,address,mask,gw\n");
    const std::string wrongCount =
        WriteLabFile("wrong-count.csv", "serial,dhcp,address,mask,gateway\n1A2B3,0,10.77.0.10,255.255.0.0\n");
    const std::string openQuote = WriteLabFile(
        "open-quote.csv", "serial,dhcp,address,mask,gateway\n1A2B3,0,\"10.77.0.10,255.255.0.0,10.77.0.1\n");
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string problem;
    } cases[] = {
        {"serial with a non-hex character", {"set", "1A2G3", "--dhcp"}, "bad serial '1A2G3'"},
        {"serial of six digits", {"upload", "01A2B3", page}, "bad serial '01A2B3'"},
        {"address part above 255", {"set", "1A2B3", "--static", "10.77.0.256/16"}, "bad address '10.77.0.256'"},
        {"address part missing", {"set", "1A2B3", "--static", "10.77.0/16"}, "bad address '10.77.0'"},
        {"address part extra", {"upload", "10.77.0.10.1", page}, "bad address '10.77.0.10.1'"},
        {"prefix above 32", {"set", "1A2B3", "--static", "10.77.0.20/33"}, "bad prefix '33'"},
        {"mask not ones then zeros", {"set", "1A2B3", "--static", "10.77.0.20", "--mask", "255.0.255.0"},
         "bad mask '255.0.255.0'"},
        {"no mask", {"set", "1A2B3", "--static", "10.77.0.20"}, "a static address needs a mask"},
        {"remote name not 8.3", {"upload", "10.77.0.10", page, "ABCDEFGHI.HTM"},
         "File upload error. Remote file name must use 8.3 format."},
        {"remote name with a control character", {"upload", "10.77.0.10", page, "A\tB.HTM"},
         "File upload error. Remote file name holds a control character."},
        {"missing local file", {"upload", "10.77.0.10", noFile}, noFile + ": No such file or directory"},
        {"CSV with a wrong header", {"apply", wrongHeader}, wrongHeader + ":1: unknown column 'gw'"},
        {"CSV with a wrong column count", {"apply", wrongCount}, wrongCount + ":2: 4 fields where the header has 5"},
        {"CSV with a quote left open", {"apply", openQuote}, openQuote + ":2: a quoted field is never closed"},
        {"unknown option", {"discover", "--colour"}, "--colour"},
        {"unknown format", {"discover", "--format", "xml"}, "xml"},
        {"neither --dhcp nor --static", {"set", "1A2B3"}, "set takes either --dhcp or --static"},
        {"no command", {}, "no command given"},
    };
    for (const Case& c : cases) {
        const std::string ftpCommands = ReadFile(LabFile("ftp-commands.log"));
        const Outcome run = RunQuorrel(c.arguments);
        EXPECT_EQ(run.status, 2) << c.name;
        EXPECT_EQ(run.out, "") << c.name;
        const std::vector<std::string> lines = Lines(run.err);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& line) { return line.rfind("quorrel: ", 0) == 0; }),
                  1)
            << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.problem), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.wire, std::vector<std::string>{}) << c.name;
        EXPECT_EQ(ReadFile(LabFile("ftp-commands.log")), ftpCommands) << c.name;
    }
}

}  // namespace
