#include "command_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "library_environment.h"

namespace quorrel::cli {
namespace {

// What the library's environment held when the first library call came.
std::optional<std::string> interfacesAtCall;
std::optional<std::string> traceAtCall;
int discoveries = 0;

std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

VarlBool FakeDiscover(std::uint32_t* count, DeviceRecord*, std::uint32_t) {
    if (discoveries++ == 0) {
        interfacesAtCall = Environment(kInterfacesVariable);
        traceAtCall = Environment(kTraceVariable);
    }
    *count = 0;
    return 1;
}

class NoUnits final : public LibraryExports {
public:
    DiscoverFunction Discover() const override { return &FakeDiscover; }
    SetConfigFunction SetConfig() const override { return nullptr; }
    UploadFileFunction UploadFile() const override { return nullptr; }
    LastErrorFunction LastError() const override { return nullptr; }
};

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunCommand(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "quorrel");
    std::istringstream in;
    std::ostringstream out, err;
    const int status = RunQuorrel(static_cast<int>(arguments.size()), arguments.data(), NoUnits(),
                                  [] { return std::string("1.0"); }, Console{in, out, err});
    return {status, out.str(), err.str()};
}

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv(kInterfacesVariable);
        unsetenv(kTraceVariable);
        interfacesAtCall.reset();
        traceAtCall.reset();
        discoveries = 0;
    }
    void TearDown() override { SetUp(); }
};

TEST_F(CommandLine, InterfaceAndVerboseReachTheEnvironmentBeforeTheFirstLibraryCall) {
    struct Case {
        const char* name;
        std::vector<const char*> arguments;
        std::optional<std::string> interfaces;
        std::optional<std::string> trace;
    } cases[] = {
        {"after the command", {"discover", "--interface", "eth1", "--verbose", "--interface", "wlan0"},
         "eth1,wlan0", "1"},
        {"before the command", {"--interface", "eth1", "discover"}, "eth1", std::nullopt},
        {"neither", {"discover"}, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SetUp();
        const Result result = RunCommand(c.arguments);
        EXPECT_EQ(result.status, 0) << c.name << ": " << result.err;
        EXPECT_EQ(discoveries, 1) << c.name;
        EXPECT_EQ(interfacesAtCall, c.interfaces) << c.name;
        EXPECT_EQ(traceAtCall, c.trace) << c.name;
    }
}

TEST_F(CommandLine, AnInterfaceGivenByTheCallerIsLeftAlone) {
    setenv(kInterfacesVariable, "eth2", 1);
    RunCommand({"discover"});
    EXPECT_EQ(interfacesAtCall, "eth2");
}

TEST_F(CommandLine, HelpOnEveryLevelHasUsageOptionsAndAnExample) {
    for (const char* command : {"", "discover", "set", "apply", "upload"}) {
        std::vector<const char*> arguments;
        if (*command != '\0') arguments.push_back(command);
        arguments.push_back("--help");
        const Result result = RunCommand(arguments);
        EXPECT_EQ(result.status, 0) << command;
        EXPECT_NE(result.out.find("\nUsage: quorrel " + std::string(command)), std::string::npos) << command;
        EXPECT_NE(result.out.find("Options:\n"), std::string::npos) << command;
        EXPECT_NE(result.out.find("Examples:\n  quorrel "), std::string::npos) << command;
        EXPECT_EQ(result.err, "") << command;
        EXPECT_EQ(discoveries, 0) << command;
    }
}

TEST_F(CommandLine, VersionNamesTheProgramAndTheLibraryInterface) {
    const Result result = RunCommand({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "quorrel " QUORREL_VERSION "\nlibvarl interface 1.0\n");
}

TEST_F(CommandLine, AWrongCommandLineEndsWithStatusTwoAndCallsNothing) {
    const std::vector<std::vector<const char*>> cases = {
        {"discover", "--timeout", "0"},     {"discover", "--timeout", "-5"},  {"discover", "--interface", ""},
        {"discover", "extra"},              {"set", "1A2B3", "--dhcp", "--mask", "255.0.0.0"},
        {"set", "--dhcp"},                  {"apply"},                         {"upload", "1A2B3"},
        {"upload", "--all", "a", "b", "c"}, {"frobnicate"},
    };
    for (const std::vector<const char*>& arguments : cases) {
        const Result result = RunCommand(arguments);
        std::string line;
        for (const char* argument : arguments) line += std::string(argument) + " ";
        EXPECT_EQ(result.status, 2) << line;
        EXPECT_EQ(result.err.rfind("quorrel: ", 0), 0u) << line << ": " << result.err;
        EXPECT_EQ(discoveries, 0) << line;
    }
}

}  // namespace
}  // namespace quorrel::cli
