#include "discover_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "command_test_support.h"

namespace quorrel::cli {
namespace {

using testing::CommandTest;
using DiscoverCommand = CommandTest;
using testing::kSiteDiscovery;
using testing::LabRecords;

TEST_F(DiscoverCommand, ListsEveryUnitSortedAfterOneDiscoveryWithRoomForASite) {
    std::reverse(fake.State().site.begin(), fake.State().site.end());
    const testing::Outcome run = Run({"discover"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "SERIAL  DHCP  ADDRESS     MASK         GATEWAY    CHIP\n"
              "1A2B3   Off   10.77.0.10  255.255.0.0  10.77.0.1  QX-100\n"
              "1B3C4   Off   10.77.0.11  255.255.0.0  10.77.0.1  QX-200\n"
              "1C4D5   On    10.77.0.12  255.255.0.0  10.77.0.1  QX-100\n"
              "1D5E6   Off   10.77.0.13  255.255.0.0  10.77.0.1  QX-200\n"
              "1E6F7   Off   10.77.0.14  255.255.0.0  10.77.0.1  QX-100\n"
              "1F808   On    10.77.0.15  255.255.0.0  10.77.0.1  QX-200\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Discoveries(), (std::vector{kSiteDiscovery}));
}

TEST_F(DiscoverCommand, AsksAgainWithTheCountOnlyWhenMoreUnitsAnswerThanASiteHolds) {
    fake.State().site.clear();
    for (const DeviceRecord& record : LabRecords(4097)) fake.State().site.push_back({record});
    const testing::Outcome run = Run({"discover", "--timeout", "300", "--format", "csv"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4098);
    EXPECT_EQ(Discoveries(), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{4096, 300}, {4097, 300}}));
}

TEST_F(DiscoverCommand, MarksUnitsThatReportOneAddressAndNamesThemInAWarning) {
    SiteUnit(0x1A2B3).record.address = 0x0A4D000B;
    SiteUnit(0x1D5E6).record.address = 0x0A4D000B;
    const char* kWarning = "quorrel: warning: units 1A2B3, 1B3C4 and 1D5E6 report the same address 10.77.0.11\n";

    const testing::Outcome table = Run({"discover"});
    EXPECT_EQ(table.status, 0);
    EXPECT_EQ(table.out,
              "SERIAL  DHCP  ADDRESS      MASK         GATEWAY    CHIP\n"
              "1A2B3   Off   10.77.0.11*  255.255.0.0  10.77.0.1  QX-100\n"
              "1B3C4   Off   10.77.0.11*  255.255.0.0  10.77.0.1  QX-200\n"
              "1C4D5   On    10.77.0.12   255.255.0.0  10.77.0.1  QX-100\n"
              "1D5E6   Off   10.77.0.11*  255.255.0.0  10.77.0.1  QX-200\n"
              "1E6F7   Off   10.77.0.14   255.255.0.0  10.77.0.1  QX-100\n"
              "1F808   On    10.77.0.15   255.255.0.0  10.77.0.1  QX-200\n");
    EXPECT_EQ(table.err, kWarning);

    const testing::Outcome json = Run({"discover", "--format", "json"});
    const nlohmann::json units = nlohmann::json::parse(json.out);
    EXPECT_EQ(units.at(0).at("conflicts"), nlohmann::json::array({"1B3C4", "1D5E6"}));
    EXPECT_EQ(units.at(1).at("conflicts"), nlohmann::json::array({"1A2B3", "1D5E6"}));
    EXPECT_EQ(units.at(2).at("conflicts"), nlohmann::json::array());
    EXPECT_EQ(json.err, kWarning);

    const testing::Outcome csv = Run({"discover", "--format", "csv"});
    EXPECT_NE(csv.out.find("\r\n1A2B3,0,10.77.0.11,255.255.0.0,"), std::string::npos) << csv.out;
    EXPECT_EQ(csv.out.find('*'), std::string::npos) << csv.out;
}

TEST_F(DiscoverCommand, WithNoUnitSaysSoOnStandardErrorAndSucceeds) {
    fake.State().site.clear();
    const testing::Outcome run = Run({"discover", "--format", "json"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "[]\n");
    EXPECT_EQ(run.err,
              "No units answered.\n"
              "A firewall on this computer may drop the units' answers: 'quorrel doctor' tells.\n");
}

}  // namespace
}  // namespace quorrel::cli
