// The library through its real exports on a PC whose units are partly on a site behind a router
// (scripts/lab --units 6 --routed-site 6): the router forwards unicast and no broadcast, so only
// VARL_TARGETS reaches the site's units. Each test loads both unit tables again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "device_record_testing.h"
#include "lab_client.h"
#include "lab_discovery.h"
#include "lab_units.h"
#include "varl.h"

namespace {

using sim::lab::DatagramLog;
using sim::lab::LoadUnitTable;
using varl::testing::Discover;
using varl::testing::Environment;
using varl::testing::MakeRecord;
using varl::testing::TakeLastError;

constexpr uint32_t kTimeOutMs = 300;

const std::vector<sim::SimulatedUnit> kLabUnits = sim::LabUnits(6);
const std::vector<sim::SimulatedUnit> kSiteUnits = sim::RoutedSiteUnits(6);

std::set<uint32_t> SerialsOf(std::initializer_list<const std::vector<sim::SimulatedUnit>*> tables) {
    std::set<uint32_t> serials;
    for (const auto* table : tables) {
        for (const sim::SimulatedUnit& unit : *table) serials.insert(unit.serial);
    }
    return serials;
}

class RoutedSiteTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* site = std::getenv("LAB_SITE_SIM_CONTROL_ADDRESS");
        ASSERT_NE(site, nullptr) << "run this test inside scripts/lab --routed-site 6";
        unsetenv("VARL_TARGETS");
        ASSERT_TRUE(LoadUnitTable(sim::FormatUnitTable(kLabUnits), 6));
        ASSERT_TRUE(LoadUnitTable(sim::FormatUnitTable(kSiteUnits), 6, site));
    }
};

TEST_F(RoutedSiteTest, BroadcastDiscoveryFindsNoneOfTheSitesUnits) {
    DatagramLog site("site-datagrams.log");
    const auto found = Discover(kTimeOutMs);
    ASSERT_TRUE(found.ok) << TakeLastError();
    EXPECT_EQ(found.Serials(), SerialsOf({&kLabUnits}));
    EXPECT_TRUE(site.Since(1, std::chrono::milliseconds(200)).empty()) << "a broadcast crossed the router";
}

TEST_F(RoutedSiteTest, TargetingTheSitesSubnetFindsThemAll) {
    const Environment targets("VARL_TARGETS", "10.80.0.0/24");
    const auto found = Discover(kTimeOutMs);
    ASSERT_TRUE(found.ok) << TakeLastError();
    EXPECT_EQ(found.Serials(), SerialsOf({&kLabUnits, &kSiteUnits}));
    ASSERT_NE(found.Unit(0xC1D2E), nullptr);
    EXPECT_EQ(*found.Unit(0xC1D2E), MakeRecord(0xC1D2E, 0, 0x0A50000A, 0xFFFFFF00, 0x0A500001, "QX-100"));
}

TEST_F(RoutedSiteTest, SetConfigThroughATargetChangesASiteUnit) {
    const Environment targets("VARL_TARGETS", "10.80.0.11");
    DatagramLog site("site-datagrams.log");
    const DeviceRecord changed = MakeRecord(0xC2E3F, 0, 0x0A50000B, 0xFFFF0000, 0x0A5000FE, "QX-200");
    ASSERT_TRUE(VARL_Admin_SetConfig(0xC2E3F, &changed)) << TakeLastError();
    EXPECT_EQ(site.Since(1).at(0).bytes, "C2E3F 5 0 10.80.0.11 255.255.0.0 10.80.0.254");

    const auto found = Discover(kTimeOutMs);
    ASSERT_TRUE(found.ok) << TakeLastError();
    ASSERT_NE(found.Unit(0xC2E3F), nullptr);
    EXPECT_EQ(*found.Unit(0xC2E3F), changed);
}

TEST_F(RoutedSiteTest, AFileUploadedToASiteUnitIsStored) {
    const std::string page = sim::lab::LabDirectory() + "/site.htm";
    std::ofstream(page) << "<html>site</html>\n";
    ASSERT_TRUE(VARL_Admin_UploadFile(0x0A50000C, page.c_str(), "", "SITE.HTM", 0)) << TakeLastError();
    EXPECT_EQ(sim::lab::ReadFile(sim::lab::LabDirectory() + "/ftp/10.80.0.12/SITE.HTM"), "<html>site</html>\n");
}

TEST_F(RoutedSiteTest, AMalformedTargetListReachesTheLibraryAndNothingIsSent) {
    const Environment targets("VARL_TARGETS", "10.80.0.0/24 10.0.0.0/8");
    DatagramLog lab;
    DatagramLog site("site-datagrams.log");
    uint32_t count = 3;
    EXPECT_FALSE(VARL_Admin_Discover(&count, nullptr, kTimeOutMs));
    EXPECT_EQ(TakeLastError(), "Argument error. VARL_TARGETS holds a range wider than /16.");
    EXPECT_EQ(count, 3u);
    EXPECT_TRUE(lab.Since(1, std::chrono::milliseconds(200)).empty());
    EXPECT_TRUE(site.Since(1, std::chrono::milliseconds(0)).empty());
}

}  // namespace
