#include "unit_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device_record_testing.h"

namespace quorrel {
namespace {

using varl::testing::MakeRecord;

struct TextRow {
    const char* name;
    std::string text;
    const char* expected;
};

class UnitTextTest : public ::testing::TestWithParam<TextRow> {};

TEST_P(UnitTextTest, ReadsAsShown) { EXPECT_EQ(GetParam().text, GetParam().expected); }

DeviceRecord ChipOfTwentyCharacters() {
    DeviceRecord record{};
    std::memset(record.chipName, 'Q', sizeof record.chipName);
    return record;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnitTextTest,
    ::testing::Values(TextRow{"address_zero", FormatAddress(0), "0.0.0.0"},
                      TextRow{"address_all_ones", FormatAddress(0xFFFFFFFF), "255.255.255.255"},
                      TextRow{"address_most_significant_first", FormatAddress(0xC0A8000A), "192.168.0.10"},
                      TextRow{"serial_padded_to_five", FormatSerial(0x1F), "0001F"},
                      TextRow{"serial_largest_on_the_wire", FormatSerial(0xFFFFF), "FFFFF"},
                      TextRow{"serial_wider_than_five_not_cut", FormatSerial(0x123456), "123456"},
                      TextRow{"web_address", WebAddress(MakeRecord(1, 0, 0x0A4D000B, 0, 0, "")), "http://10.77.0.11/"},
                      TextRow{"device_item", DeviceItemText(MakeRecord(0xA1F3, 0, 0, 0, 0, "")), "S/N 0A1F3h"},
                      TextRow{"chip_name_without_terminator", ChipName(ChipOfTwentyCharacters()),
                              "QQQQQQQQQQQQQQQQQQQQ"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DetailItemTexts, ListChipDhcpAndAddressesInTreeOrder) {
    const DeviceRecord record = MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");
    EXPECT_EQ(DetailItemTexts(record), (std::vector<std::string>{"Chip Name: QX-100", "DHCP: Off", "Address: 10.77.0.10",
                                                                 "Mask: 255.255.0.0", "Gateway: 10.77.0.1"}));
}

struct DhcpRow {
    const char* name;
    std::uint8_t mode;
    const char* text;
};

class DhcpTextTest : public ::testing::TestWithParam<DhcpRow> {};

TEST_P(DhcpTextTest, ShowsOnOnlyForModeOne) {
    EXPECT_EQ(DetailItemTexts(MakeRecord(1, GetParam().mode, 0, 0, 0, "")).at(1), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Rows, DhcpTextTest,
                         ::testing::Values(DhcpRow{"static", 0, "DHCP: Off"}, DhcpRow{"dhcp", 1, "DHCP: On"},
                                           DhcpRow{"other_digit", 2, "DHCP: Off"},
                                           DhcpRow{"neither_chosen", 255, "DHCP: Off"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorrel
