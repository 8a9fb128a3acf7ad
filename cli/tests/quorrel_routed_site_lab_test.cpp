// quorrel on a PC whose units are partly on a site behind a router (scripts/lab --units 6
// --routed-site 4): only --target reaches the site's units, and set, confirmation and upload then
// work on them as on the PC's own link.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lab_client.h"
#include "lab_units.h"
#include "quorrel_lab_run.h"

namespace {

using namespace quorrel::cli::testing;
using sim::lab::LoadUnitTable;

constexpr const char* kSiteUnitsCsv =
    "C1D2E,0,10.80.0.10,255.255.255.0,10.80.0.1,QX-100\r\n"
    "C2E3F,0,10.80.0.11,255.255.255.0,10.80.0.1,QX-200\r\n"
    "C3F50,1,10.80.0.12,255.255.255.0,10.80.0.1,QX-100\r\n"
    "C5061,0,10.80.0.13,255.255.255.0,10.80.0.1,QX-200\r\n";

class QuorrelRoutedSite : public ::testing::Test {
protected:
    void SetUp() override {
        const char* site = std::getenv("LAB_SITE_SIM_CONTROL_ADDRESS");
        ASSERT_NE(site, nullptr) << "run this test inside scripts/lab --units 6 --routed-site 4";
        unsetenv("VARL_TARGETS");
        ASSERT_TRUE(LoadUnitTable(sim::FormatUnitTable(sim::LabUnits(6)), 6));
        ASSERT_TRUE(LoadUnitTable(sim::FormatUnitTable(sim::RoutedSiteUnits(4)), 4, site));
    }
};

TEST_F(QuorrelRoutedSite, BroadcastsFindNoneOfTheSitesUnitsAndARangeTargetFindsThemAll) {
    const Outcome broadcast = RunQuorrel({"discover", "--timeout", "300", "--format", "csv"});
    EXPECT_EQ(broadcast.status, 0);
    EXPECT_EQ(broadcast.out, kSixUnitsCsv);
    EXPECT_EQ(broadcast.siteWire, std::vector<std::string>{});

    const Outcome targeted = RunQuorrel({"discover", "--timeout", "300", "--format", "csv", "--target", "10.80.0.0/24"});
    EXPECT_EQ(targeted.status, 0) << targeted.err;
    EXPECT_EQ(targeted.out, kSixUnitsCsv + std::string(kSiteUnitsCsv));
}

// Targeting the unit's address alone: the message reaches it there, and confirmation finds it at
// the new address, a spare one of the site.
TEST_F(QuorrelRoutedSite, SetChangesASiteUnitAndConfirmsItAtItsNewAddress) {
    const Outcome run = RunQuorrel({"set", "--timeout", "300", "--target", "10.80.0.11", "C2E3F", "--static",
                                    "10.80.0.200/24", "--gateway", "10.80.0.1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "SERIAL  DHCP  ADDRESS      MASK           GATEWAY    CHIP\n"
              "C2E3F   Off   10.80.0.200  255.255.255.0  10.80.0.1  QX-200\n");
    EXPECT_EQ(SetConfigMessages(run.siteWire), std::vector<std::string>{"C2E3F 5 0 10.80.0.200 255.255.255.0 10.80.0.1"});
}

TEST_F(QuorrelRoutedSite, AFileUploadedToASiteUnitFoundByTargetIsStored) {
    const std::string page = WriteLabFile("site.htm", "<html>site</html>\n");
    const Outcome run = RunQuorrel({"upload", "--timeout", "300", "--target", "10.80.0.0/24", "C1D2E", page, "SITE.HTM"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("C1D2E at 10.80.0.10: stored SITE.HTM, 18 bytes in ", 0), 0u) << run.out;
    EXPECT_EQ(sim::lab::ReadFile(LabFile("ftp/10.80.0.10/SITE.HTM")), "<html>site</html>\n");
}

}  // namespace
