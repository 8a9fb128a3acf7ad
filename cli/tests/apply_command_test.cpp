#include "apply_command.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "command_test_support.h"

namespace quorrel::cli {
namespace {

using testing::kConfirmationRound;
using testing::kSiteDiscovery;
using varl::testing::MakeRecord;
using ApplyCommand = testing::CommandTest;

// Rows 2, 3 and 5 change their units; the others are as the units report.
constexpr const char* kFile =
    "serial,dhcp,address,mask,gateway\n"
    "1A2B3,0,10.77.0.10,255.255.0.0,10.77.0.1\n"
    "1B3C4,1,,,\n"
    "1C4D5,0,10.77.1.12,255.255.255.0,10.77.1.1\n"
    "1D5E6,0,10.77.0.13,255.255.0.0,10.77.0.1\n"
    "1E6F7,0,10.77.1.14,255.255.0.0,10.77.0.254\n"
    "1F808,1,10.77.0.15,255.255.0.0,10.77.0.1\n";

const std::vector<DeviceRecord> kChanges = {
    MakeRecord(0x1B3C4, 1, 0, 0, 0, "QX-200"),
    MakeRecord(0x1C4D5, 0, 0x0A4D010C, 0xFFFFFF00, 0x0A4D0101, "QX-100"),
    MakeRecord(0x1E6F7, 0, 0x0A4D010E, 0xFFFF0000, 0x0A4D00FE, "QX-100"),
};

TEST_F(ApplyCommand, SendsOnlyTheChangesInFileOrderAndConfirmsThemInOneShortRound) {
    const testing::Outcome run = Run({"apply", "-"}, kFile);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SentRecords(), kChanges);
    EXPECT_EQ(Discoveries(), (std::vector{kSiteDiscovery, kConfirmationRound}));
    EXPECT_EQ(run.out,
              "1A2B3 unchanged: DHCP Off, address 10.77.0.10, mask 255.255.0.0, gateway 10.77.0.1\n"
              "1B3C4 confirmed: DHCP On\n"
              "1C4D5 confirmed: DHCP Off, address 10.77.1.12, mask 255.255.255.0, gateway 10.77.1.1\n"
              "1D5E6 unchanged: DHCP Off, address 10.77.0.13, mask 255.255.0.0, gateway 10.77.0.1\n"
              "1E6F7 confirmed: DHCP Off, address 10.77.1.14, mask 255.255.0.0, gateway 10.77.0.254\n"
              "1F808 unchanged: DHCP On, address 10.77.0.15, mask 255.255.0.0, gateway 10.77.0.1\n");
    EXPECT_EQ(run.err, "");

    const testing::Outcome again = Run({"apply", "-"}, kFile);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(SentRecords().size(), 3u) << "nothing more sent";
    EXPECT_EQ(again.out.find("confirmed"), std::string::npos) << again.out;
}

TEST_F(ApplyCommand, DryRunSaysWhatWouldBeSentAndSendsNothing) {
    const testing::Outcome run = Run({"apply", "--dry-run", "-"}, kFile);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(SentRecords(), std::vector<DeviceRecord>{});
    EXPECT_EQ(Discoveries(), std::vector{kSiteDiscovery});
    EXPECT_NE(run.out.find("\n1C4D5 would be set to DHCP Off, address 10.77.1.12, mask 255.255.255.0, gateway "
                           "10.77.1.1 (reports DHCP On, address 10.77.0.12, mask 255.255.0.0, gateway 10.77.0.1)\n1D5E6 "
                           "unchanged: "),
              std::string::npos) << run.out;
}

TEST_F(ApplyCommand, SaysWhichUnitsNeverConfirmedOrVanishedAfterTheFullTime) {
    SiteUnit(0x1B3C4).takesConfiguration = false;
    SiteUnit(0x1C4D5).answersAfterConfiguration = false;
    const testing::Outcome run = Run({"apply", "-"}, kFile);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(SentRecords(), kChanges);
    EXPECT_EQ(Discoveries().size(), 13u) << "one discovery and twelve quarter rounds";
    EXPECT_NE(run.out.find("1B3C4 not confirmed: asked for DHCP On, the unit reports DHCP Off, address 10.77.0.11, "
                           "mask 255.255.0.0, gateway 10.77.0.1\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("1C4D5 not confirmed: asked for DHCP Off, address 10.77.1.12, mask 255.255.255.0, gateway "
                           "10.77.1.1, the unit no longer answers\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("1E6F7 confirmed: "), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "quorrel: 2 of 3 units sent a new configuration did not confirm it\n");
}

TEST_F(ApplyCommand, JsonSaysWhatBecameOfEachRowsUnit) {
    SiteUnit(0x1E6F7).takesConfiguration = false;
    const testing::Outcome run = Run({"apply", "--format", "json", "--skip-missing", "-"},
                                     std::string(kFile) + "2A2B3,1,,,\n");
    EXPECT_EQ(run.status, 1);
    const nlohmann::json results = nlohmann::json::parse(run.out);
    std::vector<std::string> seen;
    for (const nlohmann::json& result : results) seen.push_back(result["serial"].get<std::string>() + " " +
                                                                result["result"].get<std::string>());
    EXPECT_EQ(seen, (std::vector<std::string>{"1A2B3 unchanged", "1B3C4 confirmed", "1C4D5 confirmed", "1D5E6 unchanged",
                                              "1E6F7 not-confirmed", "1F808 unchanged", "2A2B3 skipped"}));
    EXPECT_EQ(results[2]["before"]["dhcp"], 1);
    EXPECT_EQ(results[2]["after"]["address"], "10.77.1.12");
    EXPECT_EQ(results[4]["after"]["address"], "10.77.0.14") << "what the unit still reports";
    EXPECT_EQ(results[6]["before"], nullptr);
    EXPECT_EQ(run.err, "quorrel: 1 of 3 units sent a new configuration did not confirm it\n");
}

// A script reads JSON whenever the status is 0.
TEST_F(ApplyCommand, AFileWithoutRowsCallsNothingAndGivesAnEmptyList) {
    const testing::Outcome run = Run({"apply", "--format", "json", "-"}, "serial,dhcp,address,mask,gateway\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "[]\n");
    EXPECT_EQ(run.err, "(standard input) has no rows; nothing to do.\n");
    EXPECT_TRUE(fake.State().calls.empty());
}

struct StopRow {
    const char* name;
    std::string content;
    std::vector<const char*> options;
    int status;
    const char* err;
    std::size_t sent;
};

class ApplyStopTest : public ApplyCommand, public ::testing::WithParamInterface<StopRow> {};

TEST_P(ApplyStopTest, SendsNothingOnABadRowOrAMissingUnit) {
    std::vector<const char*> arguments = {"apply", "-"};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
    const testing::Outcome run = Run(arguments, GetParam().content);
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_EQ(run.err, GetParam().err);
    EXPECT_EQ(SentRecords().size(), GetParam().sent);
}

const std::string kChange = "serial,dhcp,address,mask,gateway\n1B3C4,0,10.77.1.11,255.255.0.0,10.77.0.1\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, ApplyStopTest,
    ::testing::Values(StopRow{"bad_row_on_line_4", kChange + "1A2B3,1,,,\n1D5E6,0,10.77.0.300,255.255.0.0,10.77.0.1\n",
                              {}, 2,
                              "quorrel: (standard input):4: bad address '10.77.0.300': expected four numbers from 0 "
                              "to 255 separated by dots\n",
                              0},
                      StopRow{"unit_that_does_not_answer", kChange + "2A2B3,1,,,\n", {}, 1,
                              "quorrel: (standard input):3: no unit with serial 2A2B3 answered\n"
                              "quorrel: nothing sent (--skip-missing applies the rows of the units that answered)\n",
                              0},
                      StopRow{"skipping_it_sends_the_rest", kChange + "2A2B3,1,,,\n", {"--skip-missing"}, 0, "", 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorrel::cli
