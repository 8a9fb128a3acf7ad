#include "command_line.h"

#include <pthread.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "command_test_support.h"
#include "library_environment.h"

namespace quorrel::cli {
namespace {

using testing::CommandTest;

std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

class CommandLine : public CommandTest {
protected:
    CommandLine() {
        ClearEnvironment();
        // What the library's environment holds when the first library call comes, and the
        // targets of each call.
        fake.State().onCall = [this](const std::string& exportName) {
            if (fake.State().calls.empty()) {
                interfacesAtCall = Environment(kInterfacesVariable);
                traceAtCall = Environment(kTraceVariable);
            }
            targetsAtCalls.push_back(exportName.substr(exportName.rfind('_') + 1) + " " +
                                     Environment(kTargetsVariable).value_or("(unset)"));
        };
    }
    ~CommandLine() override { ClearEnvironment(); }

    static void ClearEnvironment() {
        unsetenv(kInterfacesVariable);
        unsetenv(kTargetsVariable);
        unsetenv(kTraceVariable);
    }

    std::optional<std::string> interfacesAtCall;
    std::optional<std::string> traceAtCall;
    std::vector<std::string> targetsAtCalls;
};

TEST_F(CommandLine, InterfaceAndVerboseReachTheEnvironmentBeforeTheFirstLibraryCall) {
    struct Case {
        const char* name;
        std::vector<const char*> arguments;
        std::optional<std::string> interfaces, trace;
    } cases[] = {
        {"after the command", {"discover", "--interface", "eth1", "--verbose", "--interface", "wlan0"}, "eth1,wlan0", "1"},
        {"before the command", {"--interface", "eth1", "discover"}, "eth1", std::nullopt},
        {"neither", {"discover"}, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        ClearEnvironment();
        fake.State().calls.clear();
        EXPECT_EQ(Run(c.arguments).status, 0) << c.name;
        EXPECT_EQ(interfacesAtCall, c.interfaces) << c.name;
        EXPECT_EQ(traceAtCall, c.trace) << c.name;
    }
}

// A configuration goes to the address its unit reported and the single targets, never to a whole
// range; its confirmation looks everywhere the unit can be. Without targets nothing changes.
TEST_F(CommandLine, TargetsReachEveryCallAndFollowEachUnitSentTo) {
    const std::string kFile = "serial,dhcp,address,mask,gateway\n1B3C4,0,10.77.1.11,255.255.0.0,10.77.0.1\n1D5E6,1,,,\n";
    struct Case {
        const char* name;
        const char* callersTargets;
        std::vector<const char*> arguments;
        std::vector<std::string> calls;
    } cases[] = {
        {"set without targets",
         nullptr,
         {"set", "1B3C4", "--static", "10.77.1.11/16"},
         {"Discover (unset)", "SetConfig (unset)", "Discover (unset)"}},
        {"set with a range and an address",
         nullptr,
         {"set", "1B3C4", "--static", "10.77.1.11/16", "--target", "10.80.0.0/24", "--target", "10.81.0.7"},
         {"Discover 10.80.0.0/24,10.81.0.7", "SetConfig 10.77.0.11,10.81.0.7",
          "Discover 10.80.0.0/24,10.81.0.7,10.77.0.11,10.77.1.11"}},
        {"apply with the caller's targets",
         "10.77.0.11 10.80.0.0/24",
         {"apply", "-"},
         {"Discover 10.77.0.11 10.80.0.0/24", "SetConfig 10.77.0.11", "SetConfig 10.77.0.13,10.77.0.11",
          "Discover 10.80.0.0/24,10.77.0.11,10.77.1.11,10.77.0.13"}},
        {"--target replaces the caller's targets",
         "10.80.0.0/24",
         {"discover", "--target", "10.81.0.7"},
         {"Discover 10.81.0.7"}},
    };
    for (const Case& c : cases) {
        fake.State().site.clear();
        for (const DeviceRecord& record : testing::LabRecords(6)) fake.State().site.push_back({record});
        ClearEnvironment();
        if (c.callersTargets != nullptr) setenv(kTargetsVariable, c.callersTargets, 1);
        targetsAtCalls.clear();
        EXPECT_EQ(Run(c.arguments, kFile).status, 0) << c.name;
        EXPECT_EQ(targetsAtCalls, c.calls) << c.name;
    }
}

TEST_F(CommandLine, AnInterfaceGivenByTheCallerIsLeftAlone) {
    setenv(kInterfacesVariable, "eth2", 1);
    Run({"discover"});
    EXPECT_EQ(interfacesAtCall, "eth2");
}

TEST_F(CommandLine, HelpOnEveryLevelHasUsageOptionsAndAnExample) {
    for (const char* command : {"", "discover", "set", "apply", "upload", "watch", "doctor"}) {
        std::vector<const char*> arguments;
        if (*command != '\0') arguments.push_back(command);
        arguments.push_back("--help");
        const testing::Outcome run = Run(arguments);
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find("\nUsage: quorrel " + std::string(command)), std::string::npos) << command;
        EXPECT_NE(run.out.find("Options:\n"), std::string::npos) << command;
        EXPECT_NE(run.out.find("Examples:\n  quorrel "), std::string::npos) << command;
        EXPECT_EQ(run.err, "") << command;
    }
    EXPECT_TRUE(fake.State().calls.empty());
}

TEST_F(CommandLine, VersionNamesTheProgramAndTheLibraryInterface) {
    const testing::Outcome run = Run({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "quorrel " QUORREL_VERSION "\nlibvarl interface 1.0\n");
}

// Wrong command lines and wrong input: status 2, one line, and the library is never called.
struct WrongRow {
    const char* name;
    std::vector<const char*> arguments;
    const char* problem;
};

class CommandLineWrongTest : public CommandLine, public ::testing::WithParamInterface<WrongRow> {
protected:
    CommandLineWrongTest() {
        std::ofstream(::testing::TempDir() + "page.htm") << "<p>hello</p>\n";
        std::ofstream(::testing::TempDir() + "wrong-header.csv") << "serial,dhcp,address,mask,gw\n";
    }
};

TEST_P(CommandLineWrongTest, EndsWithStatusTwoAndOneLineAndCallsNothing) {
    const testing::Outcome run = RunInTemporaryFolder(GetParam().arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("quorrel: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find("\nquorrel: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(GetParam().problem), std::string::npos) << run.err;
    EXPECT_TRUE(fake.State().calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandLineWrongTest,
    ::testing::Values(
        WrongRow{"timeout_zero", {"discover", "--timeout", "0"}, "--timeout"},
        WrongRow{"timeout_negative", {"discover", "--timeout", "-5"}, "--timeout"},
        WrongRow{"empty_interface", {"discover", "--interface", ""}, "an interface name cannot be empty"},
        WrongRow{"target_a_word", {"discover", "--target", "site"}, "--target: 'site' is not an address or a range"},
        WrongRow{"target_octet_of_256", {"set", "1A2B3", "--dhcp", "--target", "10.80.0.256"}, "'10.80.0.256' is not an address"},
        WrongRow{"target_wider_than_16", {"apply", "--target", "10.0.0.0/8", "-"}, "'10.0.0.0/8' is wider than /16"},
        WrongRow{"target_range_without_prefix", {"upload", "--target", "10.80.0.0/", "10.80.0.10", "TMP/page.htm"},
                 "'10.80.0.0/' is not an address"},
        WrongRow{"unknown_option", {"discover", "--colour"}, "--colour"},
        WrongRow{"unknown_format", {"discover", "--format", "xml"}, "'xml' is not a format"},
        WrongRow{"extra_argument", {"discover", "extra"}, "extra"},
        WrongRow{"mask_without_static", {"set", "1A2B3", "--dhcp", "--mask", "255.0.0.0"}, "--mask"},
        WrongRow{"no_serial", {"set", "--dhcp"}, "SERIAL"},
        WrongRow{"neither_dhcp_nor_static", {"set", "1A2B3"}, "set takes either --dhcp or --static"},
        WrongRow{"dry_run_and_no_verify", {"set", "1A2B3", "--dhcp", "--dry-run", "--no-verify"},
                 "set takes --dry-run or --no-verify, not both"},
        WrongRow{"set_format_csv", {"set", "1A2B3", "--dhcp", "--format", "csv"}, "'csv' is not a format: use text or json"},
        WrongRow{"serial_not_hexadecimal", {"set", "1A2G3", "--dhcp"}, "bad serial '1A2G3'"},
        WrongRow{"address_part_above_255", {"set", "1A2B3", "--static", "10.77.0.256/16"}, "bad address '10.77.0.256'"},
        WrongRow{"prefix_above_32", {"set", "1A2B3", "--static", "10.77.0.20/33"}, "bad prefix '33'"},
        WrongRow{"no_mask", {"set", "1A2B3", "--static", "10.77.0.20"}, "a static address needs a mask"},
        WrongRow{"no_file", {"apply"}, "FILE"},
        WrongRow{"csv_with_a_wrong_header", {"apply", "TMP/wrong-header.csv"}, "wrong-header.csv:1: unknown column 'gw'"},
        WrongRow{"missing_file", {"apply", "TMP/no-such.csv"}, "no-such.csv: No such file or directory"},
        WrongRow{"folder_for_a_file_to_apply", {"apply", "TMP/"}, "/: Is a directory"},
        WrongRow{"upload_without_file", {"upload", "1A2B3"}, "upload takes TARGET[,TARGET...] FILE [REMOTE-NAME]"},
        WrongRow{"upload_all_with_three", {"upload", "--all", "a", "b", "c"}, "upload --all takes FILE [REMOTE-NAME]"},
        WrongRow{"serial_of_six_digits", {"upload", "01A2B3", "TMP/page.htm"}, "bad serial '01A2B3'"},
        WrongRow{"address_part_extra", {"upload", "10.77.0.10.1", "TMP/page.htm"}, "bad address '10.77.0.10.1'"},
        WrongRow{"missing_local_file", {"upload", "10.77.0.10", "TMP/no-such.htm"}, "no-such.htm: No such file"},
        WrongRow{"folder_for_a_file", {"upload", "10.77.0.10", "TMP/"}, "is a folder, not a file"},
        WrongRow{"doctor_unit_not_a_serial", {"doctor", "--unit", "1A2G3"}, "bad serial '1A2G3'"},
        WrongRow{"doctor_unknown_format", {"doctor", "--format", "csv"}, "'csv' is not a format: use text or json"},
        WrongRow{"unknown_command", {"frobnicate"}, "unknown command 'frobnicate': use discover, set, apply, upload, watch or doctor"},
        WrongRow{"no_command", {}, "no command given: use discover, set, apply, upload, watch or doctor"}),
    [](const auto& info) { return std::string(info.param.name); });

// A NaN passes every range check written as "outside". Were the watch to start, its first call
// stops it, as Ctrl-C would.
TEST_F(CommandLine, WatchRefusesAnIntervalThatIsNoNumber) {
    fake.State().onCall = [caller = pthread_self()](const std::string&) { pthread_kill(caller, SIGTERM); };
    const testing::Outcome run = Run({"watch", "--interval", "nan"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--interval: Value nan not in range 0 to 86400"), std::string::npos) << run.err;
    EXPECT_TRUE(fake.State().calls.empty());
}

// Each kind of library failure: its exit status and its words.
struct KindRow {
    const char* name;
    const char* library;
    const char* errorText;  // the library's text for the failed call
    std::vector<const char*> arguments;
    int status;
    const char* err;
};

class CommandLineFailureKindTest : public CommandTest, public ::testing::WithParamInterface<KindRow> {
protected:
    CommandLineFailureKindTest() : CommandTest(GetParam().library) {
        std::ofstream(::testing::TempDir() + "page.htm") << "<p>hello</p>\n";
        fake.State().discoverAnswers.push_back({0, 0, {}});
        fake.State().uploadFailures[0x0A4D000A] = GetParam().errorText;
        fake.State().errorText = GetParam().errorText;
    }
};

TEST_P(CommandLineFailureKindTest, ChoosesTheExitStatusFromTheKind) {
    const testing::Outcome run = RunInTemporaryFolder(GetParam().arguments);
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_EQ(run.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CommandLineFailureKindTest,
    ::testing::Values(KindRow{"argument_refused", FAKE_VARL_FULL, "File upload error. Remote file name must use 8.3 format.",
                              {"upload", "10.77.0.10", "TMP/page.htm", "ABCDEFGHI.HTM"}, 2,
                              "quorrel: remote name 'ABCDEFGHI.HTM': File upload error. Remote file name must use 8.3 "
                              "format.\n"},
                      KindRow{"network_or_unit", FAKE_VARL_FULL, "Communications error. Receive error. (WSAEMSGSIZE)",
                              {"discover"}, 1, "quorrel: Communications error. Receive error. (WSAEMSGSIZE)\n"},
                      KindRow{"export_missing", FAKE_VARL_NO_DISCOVER, "", {"discover"}, 1,
                              "quorrel: Driver interface error.\n"},
                      KindRow{"error_export_missing", FAKE_VARL_NO_LAST_ERR, "", {"discover"}, 1,
                              "quorrel: Can't get address of Error_LastErr().\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorrel::cli
