#include "upload_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "command_test_support.h"

namespace quorrel::cli {
namespace {

using testing::kSiteDiscovery;

constexpr const char* kConnectText = "Communications error. Could not open transfer connection.";
constexpr const char* kSendText = "Communications error. Could not send file.";
constexpr const char* kNameNot83Text = "File upload error. Remote file name must use 8.3 format.";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::multiset<std::string> LineSet(const std::string& text) {
    const std::vector<std::string> lines = Lines(text);
    return {lines.begin(), lines.end()};
}

// The lines, each without what follows " in " (the time it took).
std::vector<std::string> WithoutTimes(const std::string& text) {
    std::vector<std::string> lines = Lines(text);
    for (std::string& line : lines) line = line.substr(0, line.find(" in "));
    return lines;
}

class UploadCommand : public testing::CommandTest {
protected:
    UploadCommand() { std::ofstream(file, std::ios::binary) << "<p>hello</p>\n"; }

    // Uploads to address fail with text the first times times, then succeed.
    void FailFirstTries(std::uint32_t address, const char* text, int times) {
        fake.State().uploadFailures[address] = text;
        fake.State().onCall = [this, address, times](const std::string& exportName) {
            const auto addresses = fake.CalledWith("VARL_Admin_UploadFile", &fake_varl::RecordedCall::address);
            if (exportName == "VARL_Admin_UploadFile" && std::count(addresses.begin(), addresses.end(), address) == times) {
                fake.State().uploadFailures.erase(address);
            }
        };
    }

    const std::string file = ::testing::TempDir() + "page.htm";
};

TEST_F(UploadCommand, BySerialStoresTheFileUnderItsOwnNameAtTheUnitsAddress) {
    const testing::Outcome run = Run({"upload", "1b3c4", file.c_str()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Uploads(), std::vector<std::uint32_t>{0x0A4D000B});
    EXPECT_EQ(fake.CallsOf("VARL_Admin_UploadFile")[0].remoteName, "page.htm");
    EXPECT_EQ(fake.CallsOf("VARL_Admin_UploadFile")[0].localPath, file);
    EXPECT_EQ(run.out.rfind("1B3C4 at 10.77.0.11: stored page.htm, 13 bytes in ", 0), 0u) << run.out;
    EXPECT_EQ(Discoveries(), std::vector{kSiteDiscovery});
}

// The library refuses the name for every unit before it connects anywhere: the first refusal ends
// the run, said once, and no unit waiting is tried, however many jobs and retries.
TEST_F(UploadCommand, ARefusedNameStopsEveryUnitAtOnceAndIsNeverRetried) {
    for (const DeviceRecord& unit : testing::LabRecords(6)) fake.State().uploadFailures[unit.address] = kNameNot83Text;
    for (const auto& [jobs, mostCalls] : {std::pair{"1", 1u}, std::pair{"4", 4u}}) {
        fake.State().calls.clear();
        const testing::Outcome run =
            Run({"upload", "--all", "--jobs", jobs, "--retries", "3", file.c_str(), "ABCDEFGHI.HTM"});
        EXPECT_EQ(run.status, 2) << jobs;
        EXPECT_GE(Uploads().size(), 1u) << jobs;
        EXPECT_LE(Uploads().size(), mostCalls) << jobs;
        EXPECT_EQ(run.out, "") << jobs;
        EXPECT_EQ(run.err, "quorrel: remote name 'ABCDEFGHI.HTM': " + std::string(kNameNot83Text) + "\n") << jobs;
    }
}

TEST_F(UploadCommand, OneJobStoresOnEveryUnitInOrderOfSerialAndEndsWithOneWhenAnyFailed) {
    std::reverse(fake.State().site.begin(), fake.State().site.end());
    fake.State().uploadFailures[0x0A4D000C] = kConnectText;
    const testing::Outcome run = Run({"upload", "--all", "--jobs", "1", file.c_str(), "INDEX.HTM"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Uploads(), (std::vector<std::uint32_t>{0x0A4D000A, 0x0A4D000B, 0x0A4D000C, 0x0A4D000D, 0x0A4D000E,
                                                     0x0A4D000F}));
    EXPECT_EQ(WithoutTimes(run.out), (std::vector<std::string>{
                                         "1A2B3 at 10.77.0.10: stored INDEX.HTM, 13 bytes",
                                         "1B3C4 at 10.77.0.11: stored INDEX.HTM, 13 bytes",
                                         "1D5E6 at 10.77.0.13: stored INDEX.HTM, 13 bytes",
                                         "1E6F7 at 10.77.0.14: stored INDEX.HTM, 13 bytes",
                                         "1F808 at 10.77.0.15: stored INDEX.HTM, 13 bytes",
                                     }));
    EXPECT_EQ(run.err, "quorrel: 1C4D5 at 10.77.0.12: " + std::string(kConnectText) + "\n");
}

// Each thread fetches the text of its own failure; the fake keeps a failed upload's text for the
// thread that called, as the library does.
TEST_F(UploadCommand, SeveralJobsStoreOnEveryUnitOnceAndEachFailureKeepsItsOwnText) {
    fake.State().uploadFailures[0x0A4D000B] = kConnectText;
    fake.State().uploadFailures[0x0A4D000E] = kSendText;
    const testing::Outcome run = Run({"upload", "--all", "--jobs", "4", file.c_str(), "INDEX.HTM"});
    EXPECT_EQ(run.status, 1);
    const std::vector<std::uint32_t> uploads = Uploads();
    EXPECT_EQ(std::multiset<std::uint32_t>(uploads.begin(), uploads.end()),
              (std::multiset<std::uint32_t>{0x0A4D000A, 0x0A4D000B, 0x0A4D000C, 0x0A4D000D, 0x0A4D000E, 0x0A4D000F}));
    EXPECT_EQ(Lines(run.out).size(), 4u) << run.out;
    EXPECT_EQ(LineSet(run.err), (std::multiset<std::string>{"quorrel: 1B3C4 at 10.77.0.11: " + std::string(kConnectText),
                                                            "quorrel: 1E6F7 at 10.77.0.14: " + std::string(kSendText)}));
}

TEST_F(UploadCommand, RetriesRepeatAFailureOfTheNetworkUntilTheTriesAreUsedUp) {
    struct Case {
        const char* name;
        int failures;
        const char* retries;
        int status;
        std::vector<std::string> err;
        std::size_t tries;
    } cases[] = {
        {"stored on the third try", 2, "2", 0,
         {"quorrel: warning: 1C4D5 at 10.77.0.12: " + std::string(kConnectText) + " Trying again (try 2 of 3).",
          "quorrel: warning: 1C4D5 at 10.77.0.12: " + std::string(kConnectText) + " Trying again (try 3 of 3)."},
         3},
        {"failing every try", 9, "1", 1,
         {"quorrel: warning: 1C4D5 at 10.77.0.12: " + std::string(kConnectText) + " Trying again (try 2 of 2).",
          "quorrel: 1C4D5 at 10.77.0.12: " + std::string(kConnectText) + " (2 tries)"},
         2},
        {"no retries", 1, "0", 1, {"quorrel: 1C4D5 at 10.77.0.12: " + std::string(kConnectText)}, 1},
    };
    for (const Case& c : cases) {
        fake.State().calls.clear();
        FailFirstTries(0x0A4D000C, kConnectText, c.failures);
        const testing::Outcome run = Run({"upload", "1C4D5", "--retries", c.retries, file.c_str()});
        EXPECT_EQ(run.status, c.status) << c.name;
        EXPECT_EQ(Lines(run.err), c.err) << c.name;
        EXPECT_EQ(Uploads().size(), c.tries) << c.name;
        if (c.status == 0) {
            EXPECT_NE(run.out.find(", 3 tries\n"), std::string::npos) << c.name << ": " << run.out;
        }
    }
}

TEST_F(UploadCommand, SeveralTargetsAreTakenInTheirOrderEachAddressOnce) {
    const testing::Outcome run =
        Run({"upload", "--jobs", "1", "1f808, 10.77.0.11,1F808,1B3C4,1FFFF", file.c_str(), "A.HTM"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Uploads(), (std::vector<std::uint32_t>{0x0A4D000F, 0x0A4D000B}));
    EXPECT_EQ(WithoutTimes(run.out), (std::vector<std::string>{"1F808 at 10.77.0.15: stored A.HTM, 13 bytes",
                                                               "10.77.0.11: stored A.HTM, 13 bytes"}));
    EXPECT_EQ(run.err, "quorrel: no unit with serial 1FFFF answered\n");
}

TEST_F(UploadCommand, WrongTargetsOrJobsCallNothing) {
    struct Case {
        const char* name;
        std::vector<const char*> arguments;
        const char* err;
    } cases[] = {
        {"an empty target", {"upload", "1A2B3,,1B3C4", "PAGE"}, "quorrel: no target between the commas of '1A2B3,,1B3C4'\n"},
        {"a bad serial in the list", {"upload", "1A2B3,XYZ", "PAGE"}, "quorrel: bad serial 'XYZ'"},
        {"no jobs", {"upload", "--jobs", "0", "1A2B3", "PAGE"}, "--jobs: Value 0 not in range"},
    };
    for (Case& c : cases) {
        std::replace_if(c.arguments.begin(), c.arguments.end(), [](const char* a) { return std::string(a) == "PAGE"; },
                        file.c_str());
        const testing::Outcome run = Run(c.arguments);
        EXPECT_EQ(run.status, 2) << c.name;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.name << ": " << run.err;
        EXPECT_TRUE(fake.State().calls.empty()) << c.name;
    }
}

TEST_F(UploadCommand, JsonSummarisesEveryUnitAlone) {
    fake.State().uploadFailures[0x0A4D000C] = kConnectText;
    const testing::Outcome run =
        Run({"upload", "1A2B3,1C4D5,1FFFF,10.77.0.14", "--format", "JSON", "--retries", "1", file.c_str(), "I.HTM"});
    EXPECT_EQ(run.status, 1);
    nlohmann::json summary = nlohmann::json::parse(run.out);
    for (auto& unit : summary["units"]) {
        EXPECT_TRUE(unit["seconds"].is_number()) << unit;
        unit.erase("seconds");
    }
    EXPECT_EQ(summary, nlohmann::json::parse(R"({"remote_name": "I.HTM", "units": [
        {"serial": "1A2B3", "address": "10.77.0.10", "result": "stored", "bytes": 13, "tries": 1, "failure": null},
        {"serial": "1C4D5", "address": "10.77.0.12", "result": "failed", "bytes": 0, "tries": 2,
         "failure": "Communications error. Could not open transfer connection."},
        {"serial": null, "address": "10.77.0.14", "result": "stored", "bytes": 13, "tries": 1, "failure": null},
        {"serial": "1FFFF", "address": null, "result": "not found", "bytes": 0, "tries": 0,
         "failure": "no unit with serial 1FFFF answered"}]})"));
}

TEST_F(UploadCommand, AProgressLineIsDrawnOnATerminalOnlyAndClearedAtTheEnd) {
    const testing::Outcome piped = Run({"upload", "--all", file.c_str()});
    EXPECT_EQ(piped.err, "");

    terminal = true;
    const testing::Outcome shown = Run({"upload", "--all", file.c_str()});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(Lines(shown.out).size(), 6u);
    EXPECT_EQ(shown.err.rfind("\rUploading: 0 of 6 units done, 0 B stored\x1b[K", 0), 0u) << shown.err;
    EXPECT_EQ(shown.err.find('\n'), std::string::npos) << shown.err;
    EXPECT_EQ(shown.err.substr(shown.err.size() - 4), "\r\x1b[K");
}

}  // namespace
}  // namespace quorrel::cli
