#include "device_text.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tool_test_support.h"

namespace parbex {
namespace {

using testing::MakeRecord;

struct AddressRow {
    const char* name;
    std::uint32_t value;
    const char* text;
};

class FormatAddressTest : public ::testing::TestWithParam<AddressRow> {};

TEST_P(FormatAddressTest, GivesDottedTextMostSignificantOctetFirst) {
    EXPECT_EQ(FormatAddress(GetParam().value).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Rows, FormatAddressTest,
                         ::testing::Values(AddressRow{"zero", 0, "0.0.0.0"},
                                           AddressRow{"all_ones", 0xFFFFFFFF, "255.255.255.255"},
                                           AddressRow{"private_host", 0xC0A8000A, "192.168.0.10"},
                                           AddressRow{"lab_unit", 0x0A4D000A, "10.77.0.10"},
                                           AddressRow{"high_octet_only", 0x80000000, "128.0.0.0"}),
                         [](const auto& info) { return info.param.name; });

struct SerialRow {
    const char* name;
    std::uint32_t serial;
    const char* text;
};

class FormatSerialTest : public ::testing::TestWithParam<SerialRow> {};

TEST_P(FormatSerialTest, PadsToFiveUpperCaseDigits) {
    EXPECT_EQ(FormatSerial(GetParam().serial).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Rows, FormatSerialTest,
                         ::testing::Values(SerialRow{"two_digits", 0x1F, "0001F"},
                                           SerialRow{"zero", 0, "00000"},
                                           SerialRow{"five_digits", 0x1A2B3, "1A2B3"},
                                           SerialRow{"largest_on_the_wire", 0xFFFFF, "FFFFF"},
                                           SerialRow{"wider_than_five_is_not_cut", 0x123456, "123456"}),
                         [](const auto& info) { return info.param.name; });

TEST(DeviceItemText, NamesTheSerialWithItsSuffix) {
    EXPECT_EQ(DeviceItemText(MakeRecord(0xA1F3, 0, 0, 0, 0, "")).toStdString(), "S/N 0A1F3h");
}

TEST(DetailItemTexts, ListsChipDhcpAndAddressesInTreeOrder) {
    const DeviceRecord record = MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");
    const QStringList expected{"Chip Name: QX-100", "DHCP: Off", "Address: 10.77.0.10", "Mask: 255.255.0.0",
                               "Gateway: 10.77.0.1"};
    EXPECT_EQ(DetailItemTexts(record), expected);
}

struct DhcpRow {
    const char* name;
    std::uint8_t mode;
    const char* text;
};

class DhcpTextTest : public ::testing::TestWithParam<DhcpRow> {};

TEST_P(DhcpTextTest, ShowsOnOnlyForModeOne) {
    EXPECT_EQ(DetailItemTexts(MakeRecord(1, GetParam().mode, 0, 0, 0, "")).at(1).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Rows, DhcpTextTest,
                         ::testing::Values(DhcpRow{"static", 0, "DHCP: Off"}, DhcpRow{"dhcp", 1, "DHCP: On"},
                                           DhcpRow{"other_digit", 2, "DHCP: Off"},
                                           DhcpRow{"neither_chosen", 255, "DHCP: Off"}),
                         [](const auto& info) { return info.param.name; });

TEST(ChipNameText, StopsAtTheFieldEndWithoutATerminator) {
    DeviceRecord record{};
    std::memset(record.chipName, 'Q', sizeof record.chipName);
    EXPECT_EQ(ChipNameText(record), QString(20, QLatin1Char('Q')));
}

struct CommandRow {
    const char* name;
    const char* text;
    bool configure;
    bool upload;
};

class CommandsForTextTest : public ::testing::TestWithParam<CommandRow> {};

TEST_P(CommandsForTextTest, EnablesByTheLabelTheTextBeginsWith) {
    const QString text = QString::fromLatin1(GetParam().text);
    EXPECT_EQ(TextEnablesConfigure(text), GetParam().configure);
    EXPECT_EQ(TextEnablesUpload(text), GetParam().upload);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandsForTextTest,
    ::testing::Values(CommandRow{"device_item", "S/N 1A2B3h", false, true},
                      CommandRow{"network_item", "Network Configuration", true, true},
                      CommandRow{"chip_name", "Chip Name: QX-100", true, true},
                      CommandRow{"dhcp", "DHCP: On", true, true}, CommandRow{"address", "Address: 1.2.3.4", true, true},
                      CommandRow{"mask", "Mask: 255.0.0.0", true, true},
                      CommandRow{"gateway", "Gateway: 1.2.3.1", true, true},
                      CommandRow{"label_not_at_start", "My Address: 1.2.3.4", false, false},
                      CommandRow{"lower_case_label", "s/n 1A2B3h", false, false}, CommandRow{"empty", "", false, false}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace parbex
