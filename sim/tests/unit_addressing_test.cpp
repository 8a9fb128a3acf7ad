#include "unit_addressing.h"

#include <gtest/gtest.h>

#include <string>

namespace sim {
namespace {

// 10.80.0.10/24 on lab1.
SimulatedUnit SiteUnit() {
    SimulatedUnit unit;
    unit.serial = 0xC1D2E;
    unit.address = 0x0A50000A;
    unit.netMask = 0xFFFFFF00;
    unit.gateway = 0x0A500001;
    unit.chipName = "QX-100";
    unit.link = "lab1";
    return unit;
}

struct ReachRow {
    const char* name;
    const char* link;
    uint32_t destination;
    bool reaches;
};

class ReachTest : public ::testing::TestWithParam<ReachRow> {};

TEST_P(ReachTest, ByLinkAndDestination) {
    EXPECT_EQ(Reaches(SiteUnit(), GetParam().link, GetParam().destination), GetParam().reaches);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReachTest,
                         ::testing::Values(ReachRow{"limited_broadcast", "lab1", 0xFFFFFFFF, true},
                                           ReachRow{"its_subnets_broadcast", "lab1", 0x0A5000FF, true},
                                           ReachRow{"its_own_address", "lab1", 0x0A50000A, true},
                                           ReachRow{"another_units_address", "lab1", 0x0A50000B, false},
                                           ReachRow{"another_subnets_broadcast", "lab1", 0x0A4DFFFF, false},
                                           ReachRow{"own_address_on_another_link", "lab3", 0x0A50000A, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ApplySetConfigReaching, ChangesOnlyAUnitTheMessageWasSentTo) {
    UnitTable table;
    table.units = {SiteUnit(), SiteUnit()};
    table.units[1].serial = 0xC2E3F;
    table.units[1].address = 0x0A50000B;
    const std::string message = "C1D2E 5 0 10.80.0.10 255.255.0.0 10.80.0.254";
    EXPECT_EQ(ApplySetConfigReaching(table, message, "lab1", 0x0A50000B), nullptr) << "sent to the other unit";
    EXPECT_EQ(table.units[0].netMask, 0xFFFFFF00u);
    EXPECT_EQ(ApplySetConfigReaching(table, message, "lab1", 0x0A50000A), &table.units[0]);
    EXPECT_EQ(table.units[0].netMask, 0xFFFF0000u);
    EXPECT_EQ(table.units[0].gateway, 0x0A5000FEu);
    EXPECT_EQ(table.units[1].netMask, 0xFFFFFF00u);
}

}  // namespace
}  // namespace sim
