#include "lab_units.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

TEST(LabUnits, SixAreTheTableEveryLabTestKnows) {
    EXPECT_EQ(FormatUnitTable(LabUnits(6)),
              "unit 1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100\n"
              "unit 1B3C4 0 10.77.0.11 255.255.0.0 10.77.0.1 QX-200\n"
              "unit 1C4D5 1 10.77.0.12 255.255.0.0 10.77.0.1 QX-100\n"
              "unit 1D5E6 0 10.77.0.13 255.255.0.0 10.77.0.1 QX-200\n"
              "unit 1E6F7 0 10.77.0.14 255.255.0.0 10.77.0.1 QX-100\n"
              "unit 1F808 1 10.77.0.15 255.255.0.0 10.77.0.1 QX-200\n");
}

TEST(LabUnits, SerialsWrapAtFiveDigitsAndAddressesCarryIntoTheThirdOctet) {
    const std::vector<SimulatedUnit> units = LabUnits(1000);
    ASSERT_EQ(units.size(), 1000u);
    EXPECT_EQ(FormatReply(units[216]), "90B 0 10.77.0.226 255.255.0.0 10.77.0.1 QX-100");
    EXPECT_EQ(FormatReply(units[246]), "20909 0 10.77.1.0 255.255.0.0 10.77.0.1 QX-100");
    EXPECT_EQ(FormatReply(units[999]), "43C0A 0 10.77.3.241 255.255.0.0 10.77.0.1 QX-200");
}

TEST(LabUnits, ASecondLinkCablesTheFirstUnitsToLab1AndAddsThreeOnLab3) {
    EXPECT_EQ(FormatUnitTable(TwoLinkLabUnits(1)),
              "unit 1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100 link=lab1\n"
              "unit A1B2C 0 10.78.0.10 255.255.0.0 10.78.0.1 QX-100 link=lab3\n"
              "unit A2C3D 1 10.78.0.11 255.255.0.0 10.78.0.1 QX-200 link=lab3\n"
              "unit A3D4E 0 192.168.1.100 255.255.255.0 192.168.1.1 QX-100 link=lab3\n");
}

TEST(LabUnits, ARoutedSiteHasItsOwnSerialsOnASlash24BehindTheRouter) {
    EXPECT_EQ(FormatUnitTable(RoutedSiteUnits(2)),
              "unit C1D2E 0 10.80.0.10 255.255.255.0 10.80.0.1 QX-100\n"
              "unit C2E3F 0 10.80.0.11 255.255.255.0 10.80.0.1 QX-200\n");
    EXPECT_EQ(RoutedSiteUnits(500).size(), 190u) << "10.80.0.199 is the last unit's address";
}

}  // namespace
}  // namespace sim
