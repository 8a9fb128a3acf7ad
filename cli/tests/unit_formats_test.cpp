#include "unit_formats.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quorrel::cli {
namespace {

DeviceRecord Unit(std::uint32_t serial, std::uint8_t dhcp, const char* chip) {
    DeviceRecord unit{};
    unit.serial = serial;
    unit.dhcpMode = dhcp;
    unit.address = 0x0A4D0000 | (serial & 0xFF);  // a unit's own: 10.77.0.31 for 1F
    unit.netMask = 0xFFFFFF00;
    unit.gateway = 0x0A4D0001;
    std::strncpy(unit.chipName, chip, sizeof unit.chipName - 1);
    return unit;
}

TEST(UnitsTable, AlignsColumnsAndShowsTheDhcpDigitAndOnlyPrintableChipText) {
    const std::vector<DeviceRecord> units = {Unit(0x1F, 1, "QX-100-EXTENDED"), Unit(0xABCDE, 5, "A\x1b[2J\\"),
                                             Unit(0x1A2B3, 0, "")};
    EXPECT_EQ(UnitsTable(units),
              "SERIAL  DHCP  ADDRESS      MASK           GATEWAY    CHIP\n"
              "0001F   On    10.77.0.31   255.255.255.0  10.77.0.1  QX-100-EXTENDED\n"
              "ABCDE   5     10.77.0.222  255.255.255.0  10.77.0.1  A\\x1b[2J\\x5c\n"
              "1A2B3   Off   10.77.0.179  255.255.255.0  10.77.0.1\n");
    EXPECT_EQ(UnitsTable({}), "");
}

TEST(UnitsJson, KeepsTheFieldOrderAndWritesValidUtf8WhateverTheChipName) {
    EXPECT_EQ(UnitsJson({Unit(0x1F, 1, "Q\"X\x1b\xE9")}),
              "[\n"
              "  {\n"
              "    \"serial\": \"0001F\",\n"
              "    \"dhcp\": 1,\n"
              "    \"address\": \"10.77.0.31\",\n"
              "    \"mask\": \"255.255.255.0\",\n"
              "    \"gateway\": \"10.77.0.1\",\n"
              "    \"chip\": \"Q\\\"X\\u001b\xEF\xBF\xBD\",\n"
              "    \"conflicts\": []\n"
              "  }\n"
              "]\n");
    EXPECT_EQ(UnitsJson({}), "[]\n");
}

TEST(UnitsCsv, QuotesAChipNameThatNeedsIt) {
    EXPECT_EQ(UnitsCsv({Unit(0x1F, 7, "QX,\"1\"")}),
              "serial,dhcp,address,mask,gateway,chip\r\n"
              "0001F,7,10.77.0.31,255.255.255.0,10.77.0.1,\"QX,\"\"1\"\"\"\r\n");
}

}  // namespace
}  // namespace quorrel::cli
